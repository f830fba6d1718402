#include "CCoverWidget.h"

#include "CBackgroundCache.h"
#include "InterfaceScale.h"
#include "SkinButtonStyle.h"

#include <QApplication>
#include <QBoxLayout>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <QToolButton>

CCoverWidget::CCoverWidget(int width, int height, bool cornerOverlay, QWidget* parent)
    : QFrame(parent)
    , m_size(width, height)
    , m_cornerOverlay(cornerOverlay)
{
    setFixedSize(m_size);
    setAttribute(Qt::WA_Hover);
    setFocusPolicy(Qt::NoFocus);

    m_button = new QToolButton(this);
    m_button->hide();
    connect(m_button, &QToolButton::clicked, this, &CCoverWidget::ButClick);
    m_button->setStyleSheet(MakeSkinButtonStyle(QStringLiteral("expand"), 20, 20));

    const double scale = GetInterfaceScale();
    m_layout = new QBoxLayout(QBoxLayout::LeftToRight, this);
    m_layout->setContentsMargins(static_cast<int>(width - 34 * scale), static_cast<int>(height - 34 * scale),
                                 static_cast<int>(4 * scale), static_cast<int>(4 * scale));
    m_layout->addWidget(m_button, 0, Qt::AlignCenter);
}

void CCoverWidget::SetImagePath(const QString& path)
{
    m_imagePath = path;
    update();
}

void CCoverWidget::SetText(const QString& text)
{
    m_text = text;
    update();
}

void CCoverWidget::SetButtonNumber(int number)
{
    m_button->setText(QString::number(number));
}

void CCoverWidget::SetButtonVisible(bool visible)
{
    m_buttonShown = visible;
    m_button->setVisible(visible);
}

void CCoverWidget::SetCornerOverlay(bool on)
{
    if (m_cornerOverlay == on)
        return;
    m_cornerOverlay = on;
    update();
}

void CCoverWidget::SetSelected(bool selected)
{
    m_selected = selected;
    update();
}

void CCoverWidget::ButClick()
{
    if (m_selectable && !m_selected)
        emit Selected(this);
}

bool CCoverWidget::DrawsPlain() const
{
    const int h = m_size.height();
    return h == ScaledPixels(88) || h == ScaledPixels(64)
        || m_imagePath.contains(QLatin1String("default_download_artwork.png"));
}

void CCoverWidget::paintEvent(QPaintEvent* event)
{
    QFrame::paintEvent(event);
    QPainter painter(this);
    const QRect tile(0, 0, m_size.width(), m_size.height());

    const QFileInfo info(m_imagePath);
    const QDateTime modified = info.lastModified();
    const qint64 bytes = info.exists() ? info.size() : -1;
    if (m_imagePath != m_cachedPath || modified != m_cachedModified || bytes != m_cachedBytes) {
        QImage image;
        QFile file(m_imagePath);
        if (!m_imagePath.isEmpty() && file.open(QIODevice::ReadOnly))
            image.loadFromData(file.readAll());
        m_cachedImage = image.isNull() ? QImage()
                                       : image.scaled(m_size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        m_cachedPath = m_imagePath;
        m_cachedModified = modified;
        m_cachedBytes = bytes;
    }
    const QImage& image = m_cachedImage;

    if (!image.isNull()) {
        if (DrawsPlain()) {
            painter.drawImage(tile, image);
        } else {
            const QImage& scaled = image;
            painter.save();
            painter.setPen(Qt::NoPen);
            painter.setRenderHint(QPainter::Antialiasing, true);
            painter.setBrush(QBrush(scaled));
            painter.drawRoundedRect(tile, 13, 13);
            painter.restore();
        }
    }

    if (m_cornerOverlay) {
        const int side = ScaledPixels(128);
        const QPixmap overlay = ScaledSkinPicture(QStringLiteral(":/prefix/res/artworkradius.png"), QSize(side, side));
        if (!overlay.isNull())
            painter.drawPixmap(tile, overlay);
    }
    if (m_selected) {
        const bool big = m_cornerOverlay;
        const int side = ScaledPixels(big ? 136 : 98);
        const QPixmap frame = ScaledSkinPicture(
            big ? QStringLiteral("./skin/cover_down.png") : QStringLiteral("./skin/cover_border.png"), QSize(side, side));
        if (!frame.isNull())
            painter.drawPixmap(tile, frame);
    }
    if (!m_text.isEmpty()) {
        QFont font = QApplication::font();
        font.setPixelSize(ScaledPixels(12));
        painter.setFont(font);
        painter.setPen(QColor(208, 208, 208, 255));
        painter.drawText(tile, Qt::AlignCenter, m_text);
    }
}

void CCoverWidget::mousePressEvent(QMouseEvent* event)
{
    QFrame::mousePressEvent(event);
    if (event->button() == Qt::LeftButton) {
        emit MousePressed();
        if (m_selectable)
            emit Selected(this);
    }
}

void CCoverWidget::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (rect().contains(event->pos()))
        emit DoubleClicked(this);
}

bool CCoverWidget::HoverEvent(QEvent* event)
{
    if (event->type() == QEvent::HoverMove)
        setCursor(Qt::OpenHandCursor);
    return QFrame::event(event);
}
