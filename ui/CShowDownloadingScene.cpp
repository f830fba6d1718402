#include "CShowDownloadingScene.h"

#include "CShowDownloadingItem.h"
#include "InterfaceScale.h"

#include <QTimeLine>
#include <QTransform>

namespace {
constexpr float kFillLimit = 0.875f;

QTransform YRotation(qreal degrees)
{
    QTransform t;
    t.rotate(degrees, Qt::YAxis);
    return t;
}
} // namespace

CShowDownloadingScene::CShowDownloadingScene(bool mini, QObject* parent)
    : QGraphicsScene(parent),
      m_timeLine(new QTimeLine(1000, this)),
      m_item(new CShowDownloadingItem(mini)),
      m_mini(mini)
{
    m_item->setGeometry(0, 0, ScaledPixels(mini ? 50 : 128), ScaledPixels(mini ? 50 : 182));
    addItem(m_item);
    connect(m_timeLine, &QTimeLine::valueChanged, this, &CShowDownloadingScene::TimeLineValueChange);
    connect(m_timeLine, &QTimeLine::finished, this, &CShowDownloadingScene::TimeLineFinish);
}

void CShowDownloadingScene::Reset()
{
    m_state = Idle;
    m_timeLine->stop();
    m_item->SetProgress(0.0f);
    m_item->SetCoverPath(QString());
    m_item->SetTexts(QString(), QString());
    m_item->update();
    m_item->setX(0);
    m_item->setTransform(YRotation(0));
    m_fillBase = 0.0f;
    m_paintedTop = -1.0;
    m_coverPath.clear();
    m_title.clear();
    m_artist.clear();
}

void CShowDownloadingScene::StartDownloading(int cycleMs)
{
    Reset();
    m_state = Downloading;
    m_timeLine->setDuration(cycleMs);
    m_timeLine->setCurrentTime(0);
    m_timeLine->start();
    update();
}

void CShowDownloadingScene::Finish(const QString& cover, const QString& title, const QString& artist)
{
    m_coverPath = cover;
    m_title = title;
    m_artist = artist;
    m_timeLine->stop();
    m_state = Finishing;
    m_item->SetProgress(1.0f);
    m_timeLine->setDuration(1000);
    m_timeLine->setCurrentTime(0);
    m_timeLine->start();
    update();
}

void CShowDownloadingScene::ReplaceFailedCover(const QString& failedCover)
{
    if (m_item->CoverPath().contains(QLatin1String("Rdownload_failed")))
        m_item->SetCoverPath(failedCover);
    // A flip still under way hands over the scene's copy later.
    if (m_coverPath.contains(QLatin1String("Rdownload_failed")))
        m_coverPath = failedCover;
    m_item->update();
}

void CShowDownloadingScene::TimeLineValueChange(qreal value)
{
    if (m_state == Downloading) {
        const float progress = m_fillBase + (1.0f - m_fillBase) * float(value) * 0.5f;
        m_item->SetProgress(progress);
        // The band rises a few pixels a second while the time line reports
        // 25 times a second: the sleeve is repainted when its edge has moved
        // half a pixel, and only the strip it moved over.
        const qreal top = m_item->FillTop(progress);
        if (m_paintedTop < 0) {
            m_item->update();
            m_paintedTop = top;
        } else if (qAbs(top - m_paintedTop) >= 0.5) {
            const QSizeF size = m_item->PaintedSize();
            m_item->update(QRectF(-2, qMin(top, m_paintedTop) - 2, size.width() + 4,
                                  qAbs(top - m_paintedTop) + 4));
            m_paintedTop = top;
        }
    } else if (m_state == Finishing) {
        const int travel = m_mini ? 50 : 130;
        // The item turns about its left edge; moving it along keeps the turn in place.
        m_item->setX(value * travel);
        m_item->setTransform(YRotation(value * 180.0));
        if (value > 0.5 && m_item->Progress() != 1.5f) {
            m_item->SetProgress(1.5f);
            m_item->SetCoverPath(m_coverPath);
        }
        update();
    }
}

void CShowDownloadingScene::TimeLineFinish()
{
    if (m_state == Downloading) {
        m_fillBase = 1.0f - (1.0f - m_fillBase) * 0.5f;
        if (m_fillBase < kFillLimit) {
            m_timeLine->setCurrentTime(0);
            m_timeLine->start();
        }
    } else if (m_state == Finishing) {
        m_item->SetProgress(2.0f);
        m_item->setX(0);
        m_item->setTransform(YRotation(0));
        // A flip too short to pass its middle still ends on the cover.
        m_item->SetCoverPath(m_coverPath);
        m_item->SetTexts(m_title, m_artist);
        update();
    }
}
