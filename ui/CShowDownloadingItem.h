#pragma once

#include <QGraphicsWidget>
#include <QImage>
#include <QPixmap>
#include <QString>

// The one item of the artwork scene: the record sleeve, filled by progress
// while the song data is awaited, then the cover with title and artist.
//
// progress: 0 at rest; 0 .. 0.875 while downloading; 1.0 once the song data
// is in; 1.5 from the middle of the flip; 2.0 after it.
//
// Thread contract: GUI thread only.
class CShowDownloadingItem : public QGraphicsWidget
{
    Q_OBJECT
public:
    explicit CShowDownloadingItem(bool mini, QGraphicsItem* parent = nullptr);

    void paint(QPainter* painter, const QStyleOptionGraphicsItem* option,
               QWidget* widget = nullptr) override;

    float Progress() const { return m_progress; }
    void SetProgress(float progress) { m_progress = progress; }
    QString CoverPath() const { return m_coverPath; }
    void SetCoverPath(const QString& path) { m_coverPath = path; }
    QString Title() const { return m_title; }
    QString Artist() const { return m_artist; }
    void SetTexts(const QString& title, const QString& artist);
    bool IsMini() const { return m_mini; }

    // The top edge of the filled band of the sleeve at progress p (0 < p <
    // 1), in item coordinates: the band rises from there to the bottom.
    qreal FillTop(float p) const;
    // The item's width and height as painted.
    QSizeF PaintedSize() const;

    // Shortens text until it is at most maxWidth wide by the metrics,
    // the "..." included.
    static QString Elide(const QString& text, const QFontMetrics& metrics, int maxWidth);

private:
    // Readies the pictures for a paint at the item's size w x h: the
    // animations repaint at every frame, and reading and smooth-scaling the
    // pictures each time would keep the GUI thread busy.
    void PreparePictures(int w, int h);

    float m_progress = 0.0f;
    QString m_coverPath;
    QString m_title;
    QString m_artist;
    bool m_mini;
    QString m_sleevePicture;
    QString m_fillPicture;
    QString m_framePicture;
    QSize m_preparedSize;
    QPixmap m_sleeve;       // at the item's size
    QPixmap m_fill;         // at the item's size
    QPixmap m_frame;        // at the size it is drawn
    QString m_preparedCover;
    QImage m_cover;         // scaled to where it is drawn; null when unreadable
};
