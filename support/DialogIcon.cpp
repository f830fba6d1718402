#include "DialogIcon.h"

#include "InterfaceScale.h"

#include <QIcon>
#include <QPainter>
#include <QStyle>

DialogIcon::DialogIcon(QWidget* parent)
    : QWidget(parent)
{
}

DialogIcon::~DialogIcon() = default;

QSize DialogIcon::sizeHint() const
{
    const QIcon icon = style()->standardIcon(QStyle::SP_MessageBoxInformation);
    const int side = ScaledPixels(64);
    return icon.actualSize(QSize(side, side));
}

void DialogIcon::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QIcon icon = style()->standardIcon(QStyle::SP_MessageBoxInformation);
    icon.paint(&painter, rect(), Qt::AlignCenter, QIcon::Normal, QIcon::Off);
}
