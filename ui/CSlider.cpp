#include "CSlider.h"

#include "InterfaceScale.h"
#include "WidgetFlags.h"

#include <QMouseEvent>
#include <QPainter>

namespace {
const char* const kSeekBase = ":/prefix/res/playslider";

QImage LoadPiece(const QString& base, const char* suffix, QSize size) {
  QImage image(base + QLatin1String(suffix) + QStringLiteral(".png"));
  if (image.isNull()) return image;
  return image.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}
}  // namespace

CSlider::CSlider(const QString& name, QWidget* parent) : QWidget(parent) {
  const int dot = name.lastIndexOf(QLatin1Char('.'));
  const QString base = dot >= 0 ? name.left(dot) : name;
  const bool seek = base == QLatin1String(kSeekBase);
  auto sz = [](int w, int h) { return QSize(ScaledPixels(w), ScaledPixels(h)); };

  const QSize handleSize = seek ? sz(9, 7) : sz(17, 19);
  const QSize grooveSize = seek ? sz(20, 7) : sz(20, 12);
  m_handle = LoadPiece(base, "", handleSize);
  m_grooveLeft = LoadPiece(base, "_bl", grooveSize);
  m_grooveCentre = LoadPiece(base, "_bc", grooveSize);
  m_grooveRight = LoadPiece(base, "_br", grooveSize);
  m_playedLeft = LoadPiece(base, "_pl", grooveSize);
  m_playedCentre = LoadPiece(base, "_pc", sz(20, 12));
  m_handleHover = LoadPiece(base, "_on", handleSize);
  m_handlePressed = LoadPiece(base, "_down", handleSize);

  // The played bar starts with a rounded cap only; keep its left half-height.
  if (!m_playedLeft.isNull() && m_playedLeft.width() > m_playedLeft.height() / 2) {
    m_playedLeft = m_playedLeft.copy(0, 0, m_playedLeft.height() / 2, m_playedLeft.height());
  }

  m_handleWidth = m_handle.width();
  m_handleHeight = m_handle.height();
  m_handleX = m_handleWidth / 2;
  m_handleY = 0;
  setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
  setMouseTracking(true);
}

CSlider::~CSlider() = default;

void CSlider::SetMaximum(int maximum) { m_maximum = maximum; }

void CSlider::PlaceHandle() {
  const int range = m_maximum - m_minimum;
  // A zero-width range has no position to show: keep the handle at the left end.
  if (range <= 0) {
    m_handleX = m_handleWidth / 2;
    return;
  }
  m_handleX = int((qint64(width()) - m_handleWidth) * m_value / range) + m_handleWidth / 2;
}

void CSlider::SetValue(int value) {
  if (value < m_minimum || value > m_maximum) return;
  m_value = value;
  PlaceHandle();
  repaint();
}

QSize CSlider::sizeHint() const {
  return QSize(m_grooveRight.width() + m_grooveCentre.width() + m_grooveLeft.width(), m_handleHeight);
}

void CSlider::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  PlaceHandle();
}

QRect CSlider::HandleRect() const {
  return QRect(m_handleX - m_handleWidth / 2, m_handleY, m_handleWidth, m_handleHeight);
}

int CSlider::ClampedX(int x) const {
  const QRect r = rect();
  const int low = r.left() + m_handleWidth / 2;
  const int high = r.right() - m_handleWidth / 2;
  return qMax(low, qMin(x, high));
}

int CSlider::ValueAt(int x) const {
  const int track = width() - m_handleWidth;
  if (track <= 0) return m_minimum;
  return int(qint64(m_maximum - m_minimum) * (x - m_handleWidth / 2) / track);
}

void CSlider::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton && m_state != 2) {
    if (HandleRect().contains(event->pos())) {
      m_state = 2;
      repaint();
    } else {
      emit valueChanged(ValueAt(ClampedX(event->pos().x())));
    }
    emit sliderPressed();
  }
  if (ListNameEditing) {
    ListNameEditing = false;  // the press ends the play-list rename
    return;
  }
  QWidget::mousePressEvent(event);
}

void CSlider::mouseMoveEvent(QMouseEvent* event) {
  if (m_state == 2) {
    const int x = ClampedX(event->pos().x());
    m_handleX = x;
    m_value = ValueAt(x);
    emit valueChanged(m_value);
    emit sliderMoved(m_value);
  } else {
    m_state = HandleRect().contains(event->pos()) ? 1 : 0;
  }
  repaint();
  QWidget::mouseMoveEvent(event);
}

void CSlider::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) {
    m_state = HandleRect().contains(event->pos()) ? 1 : 0;
    repaint();
  }
  emit sliderReleased();
  QWidget::mouseReleaseEvent(event);
}

void CSlider::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  const QRect r = rect();
  const int h = height();
  const int grooveY = (h - m_grooveLeft.height()) / 2;
  painter.drawImage(QPoint(r.left(), grooveY), m_grooveLeft);
  painter.drawImage(QPoint(r.right() - m_grooveRight.width(), grooveY), m_grooveRight);
  painter.drawImage(QRect(r.left() + m_grooveLeft.width(), (h - m_grooveCentre.height()) / 2,
                          width() - m_grooveLeft.width() - m_grooveRight.width(), m_grooveCentre.height()),
                    m_grooveCentre);
  if (!m_playedLeft.isNull()) painter.drawImage(QPoint(r.left(), grooveY), m_playedLeft);
  if (m_handleX - 1 > m_playedLeft.width() && !m_playedCentre.isNull()) {
    painter.drawImage(QRect(r.left() + m_playedLeft.width(), (h - m_playedLeft.height()) / 2,
                            m_handleX - m_playedLeft.width(), m_playedCentre.height()),
                      m_playedCentre);
  }
  const QImage& handle = m_state == 2 ? m_handlePressed : (m_state == 1 ? m_handleHover : m_handle);
  painter.drawImage(QPoint(m_handleX - m_handleWidth / 2, m_handleY), handle);
}
