#include "CSplitter.h"

#include "CBackgroundCache.h"
#include "InterfaceScale.h"

#include <QPainter>
#include <QPixmap>

CSplitter::CSplitter(QWidget* parent) : QSplitter(parent) {}

CSplitter::~CSplitter() = default;

void CSplitter::setRect(QRect rect)
{
    if (rect.height() < 464.0 * GetInterfaceScale())
        return;
    m_rect = rect;
    update();
}

void CSplitter::paintEvent(QPaintEvent*)
{
    if (m_rect.isNull())
        return;
    // Scaled once per size, not at every paint of the side panel.
    const QPixmap picture =
        ScaledSkinPicture(QStringLiteral(":/prefix/res/main background/recording_lbg_v.png"), m_rect.size());
    if (picture.isNull())
        return;
    QPainter painter(this);
    painter.setOpacity(0.5);
    painter.drawPixmap(m_rect, picture);
}
