#include "CShowDownloadingItem.h"

#include "InterfaceScale.h"

#include <QApplication>
#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QTextBoundaryFinder>

CShowDownloadingItem::CShowDownloadingItem(bool mini, QGraphicsItem* parent)
    : QGraphicsWidget(parent),
      m_mini(mini),
      m_sleevePicture(mini ? QStringLiteral(":/prefix/res/mini/aritwork.png")
                           : QStringLiteral(":/prefix/res/recording_artwork.png")),
      m_fillPicture(mini ? QStringLiteral(":/prefix/res/mini/aritwork_on.png")
                         : QStringLiteral(":/prefix/res/recording_artwork_up.png")),
      m_framePicture(mini ? QStringLiteral(":/prefix/res/miniradius.png")
                          : QStringLiteral(":/prefix/res/recordingradius.png"))
{
}

void CShowDownloadingItem::SetTexts(const QString& title, const QString& artist)
{
    m_title = title;
    m_artist = artist;
}

QString CShowDownloadingItem::Elide(const QString& text, const QFontMetrics& metrics, int maxWidth)
{
    if (metrics.horizontalAdvance(text) <= maxWidth)
        return text;
    // Cut between whole characters only: a surrogate pair or a letter with
    // its accent is never split.
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    finder.toEnd();
    QString body = text;
    while (!body.isEmpty() && metrics.horizontalAdvance(body + QStringLiteral("...")) > maxWidth)
        body.truncate(qMax(0, finder.toPreviousBoundary()));
    return body + QStringLiteral("...");
}

void CShowDownloadingItem::PreparePictures(int w, int h)
{
    const QSize size(w, h);
    if (m_preparedSize != size) {
        m_sleeve = QPixmap(m_sleevePicture).scaled(w, h, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        m_fill = QPixmap(m_fillPicture).scaled(w, h, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        // Drawn into (w - 1) x (h - 1) in both variants: scaled here once.
        m_frame = QPixmap(m_framePicture).scaled(w - 1, h - 1, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        m_preparedCover.clear();
        m_cover = QImage();
        m_preparedSize = size;
    }
    if (m_coverPath != m_preparedCover) {
        const QImage cover(m_coverPath);
        const QSize target = m_mini ? QSize(w - 1, h - 1) : QSize(ScaledPixels(128), ScaledPixels(128));
        m_cover = cover.isNull() ? QImage()
                                 : cover.scaled(target, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        m_preparedCover = m_coverPath;
    }
}

qreal CShowDownloadingItem::FillTop(float p) const
{
    if (m_mini)
        return ScaledPixels(40) - 30.0 * p;
    return (105.0 - 85.0 * p) * GetInterfaceScale();
}

QSizeF CShowDownloadingItem::PaintedSize() const
{
    return QSizeF(ScaledPixels(m_mini ? 50 : 128), ScaledPixels(m_mini ? 50 : 182));
}

void CShowDownloadingItem::paint(QPainter* painter, const QStyleOptionGraphicsItem*, QWidget*)
{
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing, true);
    painter->setRenderHint(QPainter::SmoothPixmapTransform, true);

    const int w = ScaledPixels(m_mini ? 50 : 128);
    const int h = ScaledPixels(m_mini ? 50 : 182);
    const float p = m_progress;
    PreparePictures(w, h);
    const QPixmap& sleeve = m_sleeve;

    if (m_coverPath.isEmpty()) {
        if (p < 1.0f) {
            painter->drawPixmap(QRect(-1, 0, w, h), sleeve);
            if (p > 0.0f) {
                const QPixmap& fill = m_fill;
                // The filled part rises from the bottom of the sleeve.
                const qreal top = FillTop(p);
                const QRectF band = m_mini ? QRectF(-1, top, 70 - 1, ScaledPixels(10) + 30.0 * p)
                                           : QRectF(-1, top, w - 1, h - top);
                painter->save();
                painter->setClipRect(band);
                painter->drawPixmap(QRect(-1, 0, w, h), fill);
                painter->restore();
            }
        } else {
            painter->drawPixmap(QRect(1, 0, w, h), sleeve);
        }
    } else {
        painter->drawPixmap(QRect(0, 0, w, h), sleeve);
        QImage cover = m_cover;
        // The back half of the flip shows the cover mirrored, so it reads
        // the right way round once the turn is complete.
        if (p > 1.0f && p < 2.0f)
            cover = cover.mirrored(true, false);
        if (m_mini) {
            const QRect r(0, 0, w - 1, h - 1);
            if (!cover.isNull())
                painter->drawImage(r, cover);
            painter->drawPixmap(r, m_frame);
        } else {
            const int side = ScaledPixels(128);
            painter->drawPixmap(QRect(0, 0, w - 1, h - 1), m_frame);
            if (!cover.isNull()) {
                QPainterPath path;
                path.addRoundedRect(QRectF(0, 0, side - 1, side - 1), 13, 13);
                painter->setPen(Qt::NoPen);
                painter->setBrush(QBrush(cover));
                painter->drawPath(path);
            }
        }
    }

    if (p == 2.0f && !m_title.isEmpty()) {
        painter->resetTransform();
        QFont font = QApplication::font();
        font.setPixelSize(ScaledPixels(12));
        font.setWeight(75);
        painter->setFont(font);
        painter->setPen(QColor(255, 255, 255, 255));
        const int maxWidth = ScaledPixels(125);
        // Measured with the painter's own metrics: the font it paints with is
        // the one above completed by the view's, which a style sheet may set.
        painter->drawText(QRect(ScaledPixels(1), ScaledPixels(135), ScaledPixels(128), ScaledPixels(20)),
                          Qt::AlignCenter, Elide(m_title, painter->fontMetrics(), maxWidth));
        font.setPixelSize(ScaledPixels(11));
        font.setWeight(50);
        painter->setFont(font);
        painter->drawText(QRect(ScaledPixels(1), ScaledPixels(155), ScaledPixels(128), ScaledPixels(20)),
                          Qt::AlignCenter, Elide(m_artist, painter->fontMetrics(), maxWidth));
    }
    painter->restore();
}
