#include "CSkinMainWidget.h"

#include "CAppSettings.h"
#include "InterfaceScale.h"

#include <QPaintEvent>
#include <QPainter>
#include <QPixmap>

CSkinMainWidget::CSkinMainWidget(QWidget* parent) : QWidget(parent)
{
    setFocusPolicy(Qt::ClickFocus);
    setMinimumWidth(ScaledPixels(600));
}

CSkinMainWidget::~CSkinMainWidget() = default;

void CSkinMainWidget::paintEvent(QPaintEvent* event)
{
    QWidget::paintEvent(event);
    const QPixmap& background = m_background.Get(size(), [](QPainter& painter, const QSize& size) {
        const QString path = QStringLiteral(":/prefix/res/main background/recording_lbg_%1.png")
                                 .arg(CAppSettings::GetInstance()->GetSkin());
        const QImage picture = CBackgroundCache::LoadPicture(path);
        if (picture.isNull())
            return;
        painter.drawImage(QRect(QPoint(0, 0), size),
                          picture.scaled(ScaledPixels(918), ScaledPixels(451), Qt::IgnoreAspectRatio,
                                         Qt::FastTransformation));
    });
    QPainter painter(this);
    painter.drawPixmap(event->rect(), background, event->rect());
}
