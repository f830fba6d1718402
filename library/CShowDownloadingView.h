#pragma once

#include <QGraphicsView>
#include <QString>

class QGraphicsPixmapItem;
class QGraphicsScene;
class QGraphicsSimpleTextItem;
class QTimeLine;

// The artwork view: a song's cover, title and artist with a short animation,
// in a scene of its own. The mini form (50 x 50, scaled) sits in the control
// bar's mini strip; the full form (128 x 182) on the recording page.
//
// Thread contract: GUI thread only.
class CShowDownloadingView : public QGraphicsView
{
    Q_OBJECT
public:
    static constexpr int kDownloadingMs = 5400;

    CShowDownloadingView(bool mini, QWidget* parent);
    ~CShowDownloadingView() override;

    // Shows the three and restarts the finish animation; an empty cover path
    // shows the language's download-failed picture.
    void SetMusicInfo(const QString& coverPath, const QString& title, const QString& artist);
    // Resets the scene and starts the downloading animation.
    void StartAnimation();
    // Stops a running animation and resets the scene; harmless when idle.
    void StopAnimation();

    bool IsMini() const { return m_mini; }
    bool IsDownloading() const;
    QString ShownCover() const { return m_coverPath; }
    QString ShownTitle() const { return m_title; }
    QString ShownArtist() const { return m_artist; }

    // The download-failed picture for the Language setting.
    static QString FailedCoverPath();

private slots:
    void DownloadingStep(qreal value);
    void FinishStep(qreal value);

private:
    void ResetScene();
    void ShowCover(const QString& path);

    bool m_mini;
    int m_side;          // cover side in pixels
    QGraphicsScene* m_scene;
    QGraphicsPixmapItem* m_cover;
    QGraphicsSimpleTextItem* m_titleItem;
    QGraphicsSimpleTextItem* m_artistItem;
    QTimeLine* m_downloading;
    QTimeLine* m_finish;
    QString m_coverPath;
    QString m_title;
    QString m_artist;
};
