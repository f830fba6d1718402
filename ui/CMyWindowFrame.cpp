#include "CMyWindowFrame.h"

#include "CMyTitleBar.h"
#include "InterfaceScale.h"

#include <QBitmap>
#include <QEvent>
#include <QHBoxLayout>
#include <QHoverEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyleOption>
#include <QVBoxLayout>
#include <cstdlib>

namespace {
// Resize zones are 4 pixels wide whatever the scale.
constexpr int kEdgeZone = 3;
}  // namespace

CMyWindowFrame::CMyWindowFrame(QWidget* parent, Qt::WindowFlags titleFlags)
    : QFrame(parent), m_titleFlags(titleFlags) {
  setAttribute(Qt::WA_Hover, true);
  setWindowFlags(Qt::FramelessWindowHint | Qt::WindowSystemMenuHint);
  setObjectName(QStringLiteral("windowFrame"));

  m_outerLayout = new QVBoxLayout(this);
  m_outerLayout->setContentsMargins(0, 0, 0, 0);

  m_mainBar = new QFrame(this);
  m_mainBar->setObjectName(QStringLiteral("mainBar"));
  auto* mainBarLayout = new QVBoxLayout(m_mainBar);
  mainBarLayout->setContentsMargins(0, 0, 0, 0);
  mainBarLayout->setSpacing(0);

  m_titleBar = new CMyTitleBar(this, titleFlags);
  connect(m_titleBar, &CMyTitleBar::MiniStateChanged, this, &CMyWindowFrame::ChangeMiniState);

  m_toolArea = new QFrame(m_mainBar);
  m_toolArea->setObjectName(QStringLiteral("toolArea"));
  m_toolLayout = new QHBoxLayout(m_toolArea);
  m_toolLayout->setContentsMargins(0, 0, 0, 0);

  mainBarLayout->addWidget(m_titleBar);
  mainBarLayout->addWidget(m_toolArea);
  m_mainBar->setFixedHeight(ScaledPixels(25));

  m_body = new QWidget(this);
  m_bottom = nullptr;

  m_outerLayout->setSpacing(0);
  m_outerLayout->addWidget(m_mainBar);
  m_outerLayout->addWidget(m_body);
}

CMyWindowFrame::~CMyWindowFrame() = default;

void CMyWindowFrame::AddToolBar(QWidget* w) {
  if (!w) return;
  m_toolLayout->addWidget(w);
  // Sum before truncating: a 75-pixel bar at 1.5 gives 75 + 37.5 -> 112.
  m_mainBar->setFixedHeight(int(w->height() + 25 * GetInterfaceScale()));
}

void CMyWindowFrame::SetCentralWidget(QWidget* w) {
  delete m_body;
  m_body = w;
  if (m_body) m_outerLayout->insertWidget(1, m_body);
}

void CMyWindowFrame::SetStatusBar(QWidget* w) {
  delete m_bottom;
  m_bottom = w;
  if (m_bottom) m_outerLayout->addWidget(m_bottom);
}

QMenuBar* CMyWindowFrame::MenuBar() { return m_titleBar->MenuBar(); }

void CMyWindowFrame::SetWindowIcon(const QIcon& icon) {
  m_titleBar->setWindowIcon(icon);
  setWindowIcon(icon);
}

void CMyWindowFrame::SetWindowTitle(const QString& title) {
  m_titleBar->setWindowTitle(title);
  setWindowTitle(title);
}

void CMyWindowFrame::ToggleMiniState() { m_titleBar->ChangeMiniState(); }

void CMyWindowFrame::ChangeMiniState() {
  emit MiniStateChanged();
  m_mini = !m_mini;
  if (m_body) m_body->setHidden(m_mini);
  if (m_bottom) m_bottom->setHidden(m_mini);
  m_titleBar->SetMenuBarHidden(m_mini);
  m_titleBar->setCanResize(!m_mini);

  if (m_mini) {
    m_normalGeometry = geometry();
    setMinimumSize(ScaledPixels(100), ScaledPixels(90));
    m_mainBar->setFixedHeight(ScaledPixels(90));
    resize(ScaledPixels(440), m_mainBar->height());
  } else {
    m_mainBar->setFixedHeight(ScaledPixels(100));
    setMinimumSize(ScaledPixels(924), ScaledPixels(610));
    // Keep where the mini window was, regain the earlier size.
    QRect target = m_normalGeometry;
    if (pos() != target.topLeft()) target.moveTopLeft(pos());
    setGeometry(target);
  }
}

void CMyWindowFrame::HandleHoverMove(const QPoint& p) {
  if (!m_resizing) {
    const QRect r = rect();
    const int titleHeight = m_titleBar->height();
    m_leftEdge = std::abs(p.x() - r.left()) <= kEdgeZone && std::abs(p.y() - r.top()) > titleHeight;
    m_rightEdge = std::abs(p.x() - r.right()) <= kEdgeZone && std::abs(p.y() - r.top()) > titleHeight;
    m_bottomEdge = std::abs(p.y() - r.bottom()) <= kEdgeZone;
    Qt::CursorShape shape = Qt::ArrowCursor;
    if (m_bottomEdge && m_leftEdge) {
      shape = Qt::SizeBDiagCursor;
    } else if (m_bottomEdge && m_rightEdge) {
      shape = Qt::SizeFDiagCursor;
    } else if (m_leftEdge || m_rightEdge) {
      shape = Qt::SizeHorCursor;
    } else if (m_bottomEdge) {
      shape = Qt::SizeVerCursor;
    }
    setCursor(shape);
    return;
  }
  const QPoint g = mapToGlobal(p);
  QRect q = geometry();
  if (m_leftEdge) {
    if (q.right() - g.x() > minimumWidth()) {
      q.setLeft(g.x());
    } else {
      q.setLeft(q.right() - minimumWidth());  // the right border stays put
    }
  }
  if (m_rightEdge) q.setRight(g.x());
  if (m_bottomEdge) q.setBottom(g.y());
  setGeometry(q);
}

bool CMyWindowFrame::event(QEvent* event) {
  if (event->type() == QEvent::HoverMove && !m_mini && !m_titleBar->IsMaximized()) {
    HandleHoverMove(static_cast<QHoverEvent*>(event)->pos());
    return true;
  }
  return QFrame::event(event);
}

bool CMyWindowFrame::PressStartsResize() const {
  if (m_mini) return m_rightEdge;
  return m_leftEdge || m_rightEdge || m_bottomEdge;
}

void CMyWindowFrame::mousePressEvent(QMouseEvent* event) {
  if (PressStartsResize()) m_resizing = true;
  QWidget::mousePressEvent(event);
}

void CMyWindowFrame::mousePressed() {
  if (PressStartsResize()) m_resizing = true;
}

void CMyWindowFrame::mouseReleaseEvent(QMouseEvent* event) {
  m_resizing = false;
  releaseMouse();
  QWidget::mouseReleaseEvent(event);
}

void CMyWindowFrame::mouseReleased() {
  m_resizing = false;
  releaseMouse();
}

void CMyWindowFrame::keyPressEvent(QKeyEvent* event) { QWidget::keyPressEvent(event); }

void CMyWindowFrame::keyReleaseEvent(QKeyEvent* event) { QWidget::keyReleaseEvent(event); }

void CMyWindowFrame::paintEvent(QPaintEvent* event) {
  QFrame::paintEvent(event);
  {
    QStyleOption option;
    option.initFrom(this);
    QPainter painter(this);
    style()->drawPrimitive(QStyle::PE_Widget, &option, &painter, this);
  }
  // Cut the window to rounded corners. Checked on every paint so the mask
  // follows resizes; rebuilt only when the size changed, since setting a mask
  // can itself schedule another paint.
  if (m_maskSize == size()) return;
  m_maskSize = size();
  QBitmap mask(size());
  mask.fill(Qt::white);
  {
    QPainter painter(&mask);
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::black);
    const double radius = 5 * GetInterfaceScale();
    painter.drawRoundedRect(rect(), radius, radius, Qt::AbsoluteSize);
  }
  setMask(mask);
}
