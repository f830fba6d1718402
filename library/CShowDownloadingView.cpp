#include "CShowDownloadingView.h"

#include "CAppSettings.h"
#include "InterfaceScale.h"

#include <QGraphicsPixmapItem>
#include <QGraphicsScene>
#include <QGraphicsSimpleTextItem>
#include <QPixmap>
#include <QTimeLine>

CShowDownloadingView::CShowDownloadingView(bool mini, QWidget* parent)
    : QGraphicsView(parent),
      m_mini(mini),
      m_side(ScaledPixels(mini ? 50 : 128)),
      m_scene(new QGraphicsScene(this)),
      m_cover(nullptr),
      m_titleItem(nullptr),
      m_artistItem(nullptr),
      m_downloading(new QTimeLine(kDownloadingMs, this)),
      m_finish(new QTimeLine(500, this))
{
    const int w = ScaledPixels(mini ? 50 : 128);
    const int h = ScaledPixels(mini ? 50 : 182);
    setFixedSize(w, h);
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setStyleSheet(QStringLiteral("background: transparent;"));
    setScene(m_scene);
    m_scene->setSceneRect(0, 0, w, h);

    m_cover = m_scene->addPixmap(QPixmap());
    m_titleItem = m_scene->addSimpleText(QString());
    m_artistItem = m_scene->addSimpleText(QString());
    m_titleItem->setPos(0, m_side + ScaledPixels(8));
    m_artistItem->setPos(0, m_side + ScaledPixels(26));
    // The mini strip has room for the cover only.
    m_titleItem->setVisible(!mini);
    m_artistItem->setVisible(!mini);

    m_downloading->setLoopCount(1);
    connect(m_downloading, &QTimeLine::valueChanged, this, &CShowDownloadingView::DownloadingStep);
    connect(m_finish, &QTimeLine::valueChanged, this, &CShowDownloadingView::FinishStep);
    ResetScene();
}

CShowDownloadingView::~CShowDownloadingView() = default;

QString CShowDownloadingView::FailedCoverPath()
{
    const QString lang = CAppSettings::GetInstance()->GetLanguage();
    if (lang == QLatin1String("de"))
        return QStringLiteral(":/prefix/res/Rdownload_failed_de.png");
    if (lang == QLatin1String("jp"))
        return QStringLiteral(":/prefix/res/Rdownload_failed_jp.png");
    return QStringLiteral(":/prefix/res/Rdownload_failed_en.png");
}

bool CShowDownloadingView::IsDownloading() const
{
    return m_downloading->state() == QTimeLine::Running;
}

void CShowDownloadingView::ShowCover(const QString& path)
{
    QPixmap pix(path);
    if (!pix.isNull())
        pix = pix.scaled(m_side, m_side, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    m_cover->setPixmap(pix);
}

void CShowDownloadingView::ResetScene()
{
    m_coverPath.clear();
    m_title.clear();
    m_artist.clear();
    m_titleItem->setText(QString());
    m_artistItem->setText(QString());
    ShowCover(QStringLiteral(":/prefix/res/Rdownloading.png"));
    m_cover->setOpacity(1.0);
    m_cover->setTransformOriginPoint(m_side / 2.0, m_side / 2.0);
    m_cover->setRotation(0.0);
}

void CShowDownloadingView::SetMusicInfo(const QString& coverPath, const QString& title,
                                        const QString& artist)
{
    m_downloading->stop();
    m_cover->setRotation(0.0);
    m_coverPath = coverPath.isEmpty() ? FailedCoverPath() : coverPath;
    m_title = title;
    m_artist = artist;
    ShowCover(m_coverPath);
    m_titleItem->setText(title);
    m_artistItem->setText(artist);
    m_finish->stop();
    m_finish->start();
}

void CShowDownloadingView::StartAnimation()
{
    m_finish->stop();
    ResetScene();
    m_downloading->stop();
    m_downloading->start();
}

void CShowDownloadingView::StopAnimation()
{
    m_downloading->stop();
    m_finish->stop();
    ResetScene();
}

void CShowDownloadingView::DownloadingStep(qreal value)
{
    // A slow turn of the waiting picture while the song data is fetched.
    m_cover->setRotation(360.0 * 4.0 * value);
}

void CShowDownloadingView::FinishStep(qreal value)
{
    m_cover->setOpacity(0.2 + 0.8 * value);
}
