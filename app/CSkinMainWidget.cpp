#include "CSkinMainWidget.h"

#include "CAppSettings.h"
#include "InterfaceScale.h"

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
    const QString path = QStringLiteral(":/prefix/res/main background/recording_lbg_%1.png")
                             .arg(CAppSettings::GetInstance()->GetSkin());
    const QPixmap picture = QPixmap(path).scaled(ScaledPixels(918), ScaledPixels(451), Qt::IgnoreAspectRatio,
                                                 Qt::FastTransformation);
    if (picture.isNull())
        return;
    QPainter painter(this);
    painter.drawPixmap(rect(), picture);
}
