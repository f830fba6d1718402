#include "CShowDownloadingView.h"

#include "CAppSettings.h"
#include "CShowDownloadingScene.h"
#include "InterfaceScale.h"

#include <QDebug>

CShowDownloadingView::CShowDownloadingView(bool mini, QWidget* parent)
    : QGraphicsView(parent),
      m_mini(mini),
      m_scene(new CShowDownloadingScene(mini, this))
{
    const int w = ScaledPixels(mini ? 50 : 128);
    const int h = ScaledPixels(mini ? 50 : 182);
    setScene(m_scene);
    m_scene->setSceneRect(0, 0, w, h);
    setFixedSize(w, h);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setStyleSheet(QStringLiteral("QGraphicsView{background: transparent;margin: 0;border:0;}"));
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

void CShowDownloadingView::SetMusicInfo(const QString& coverPath, const QString& title,
                                        const QString& artist)
{
    qDebug() << "CShowDownloadingView::SetMusicInfo" << (coverPath + QLatin1Char('\t') + title
                                                         + QLatin1Char('\t') + artist);
    m_scene->Finish(coverPath.isEmpty() ? FailedCoverPath() : coverPath, title, artist);
}

void CShowDownloadingView::StartAnimation()
{
    m_scene->StartDownloading(kDownloadingMs);
}

void CShowDownloadingView::StopAnimation()
{
    m_scene->Reset();
}

void CShowDownloadingView::RetranslateUi()
{
    m_scene->ReplaceFailedCover(FailedCoverPath());
}

void CShowDownloadingView::mousePressEvent(QMouseEvent* event)
{
    QGraphicsView::mousePressEvent(event);
}
