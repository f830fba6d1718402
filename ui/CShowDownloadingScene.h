#pragma once

#include <QGraphicsScene>
#include <QString>

class CShowDownloadingItem;
class QTimeLine;

// The artwork view's scene: one sleeve item driven by one time line.
// States: 0 idle, 1 downloading (cycles of 5,400 ms filling the sleeve to
// 0.5, 0.75 and 0.875), 2 finishing (a 1,000 ms flip to the song data).
//
// Thread contract: GUI thread only.
class CShowDownloadingScene : public QGraphicsScene
{
    Q_OBJECT
public:
    enum State { Idle = 0, Downloading = 1, Finishing = 2 };

    CShowDownloadingScene(bool mini, QObject* parent);

    // Idle, time line stopped, sleeve empty and upright, song data cleared.
    void Reset();
    void StartDownloading(int cycleMs);
    // Stores the song data and flips the sleeve over to it.
    void Finish(const QString& cover, const QString& title, const QString& artist);
    // Replaces a shown download-failed picture by failedCover.
    void ReplaceFailedCover(const QString& failedCover);

    int GetState() const { return m_state; }
    float FillBase() const { return m_fillBase; }
    CShowDownloadingItem* Item() const { return m_item; }
    QTimeLine* TimeLine() const { return m_timeLine; }

public slots:
    void TimeLineValueChange(qreal value);
    void TimeLineFinish();

private:
    QTimeLine* m_timeLine;
    CShowDownloadingItem* m_item;
    int m_state = Idle;
    float m_fillBase = 0.0f;
    // Where the filled band's top edge was last repainted (item
    // coordinates); below 0 when the whole sleeve is to be repainted.
    qreal m_paintedTop = -1.0;
    QString m_coverPath;
    QString m_title;
    QString m_artist;
    bool m_mini;
};
