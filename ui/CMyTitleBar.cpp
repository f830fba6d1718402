#include "CMyTitleBar.h"

#include "InterfaceScale.h"
#include "SkinButtonStyle.h"

#include <QApplication>
#include <QScreen>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPainter>
#include <QStyleOption>
#include <QToolButton>

namespace {
// Title-bar buttons are 34 x 25 design pixels.
constexpr double kButtonWidth = 34;
constexpr double kButtonHeight = 25;
// The menu bar goes after the radius image, before the zoom button of the full set.
constexpr int kMenuBarIndex = 5;

// Available area of the screen holding `point`; the primary screen when no
// screen holds it.
QRect AvailableGeometryAt(const QPoint& point) {
  QScreen* screen = QGuiApplication::screenAt(point);
  if (!screen) screen = QGuiApplication::primaryScreen();
  return screen ? screen->availableGeometry() : QRect();
}
}  // namespace

CMyTitleBar::CMyTitleBar(QWidget* window, Qt::WindowFlags flags) : QFrame(window), m_window(window) {
  const double s = GetInterfaceScale();
  setObjectName(QStringLiteral("titleBar"));
  setFixedHeight(ScaledPixels(25));

  m_layout = new QHBoxLayout;
  m_layout->setContentsMargins(ScaledPixels(10), 0, ScaledPixels(10), 0);
  m_layout->setSpacing(0);

  m_iconLabel = new QLabel(this);
  m_iconLabel->setObjectName(QStringLiteral("windowIcon"));
  const int iconSide = ScaledPixels(16);
  m_iconLabel->setPixmap(qApp->windowIcon().pixmap(iconSide, iconSide, QIcon::Normal, QIcon::Off));

  m_titleLabel = new QLabel(this);
  m_titleLabel->setObjectName(QStringLiteral("windowTitle"));
  m_titleLabel->setText(window ? window->windowTitle() : QString());

  auto makeRadius = [this, s]() {
    m_radiusLabel = new QLabel(this);
    m_radiusLabel->setObjectName(QStringLiteral("closeButRadius"));
    const QSize size(int(23 * s), int(25 * s));
    m_radiusLabel->setFixedSize(size);
    m_radiusLabel->setPixmap(QPixmap(QStringLiteral(":/prefix/res/closebutradius.png"))
                                 .scaled(size, Qt::IgnoreAspectRatio, Qt::FastTransformation));
  };

  const int bits = int(flags);
  const bool closeBit = bits & Qt::WindowCloseButtonHint;
  const bool minBit = bits & Qt::WindowMinimizeButtonHint;
  const bool maxBit = bits & Qt::WindowMaximizeButtonHint;

  if (flags == Qt::Window) {
    m_zoomButton = MakeButton("zoomButton");
    m_minButton = MakeButton("minButton");
    m_maxButton = MakeButton("maxButton");
    m_closeButton = MakeButton("closeButton");
    makeRadius();
    m_layout->addWidget(m_iconLabel, 0, Qt::AlignVCenter);
    m_layout->addSpacing(ScaledPixels(10));
    m_layout->addWidget(m_titleLabel, 0, Qt::AlignVCenter);
    m_layout->addStretch();
    m_layout->addWidget(m_radiusLabel);
    m_layout->addWidget(m_zoomButton);
    m_layout->addWidget(m_minButton);
    m_layout->addWidget(m_maxButton);
    m_layout->addWidget(m_closeButton);
  } else if (closeBit && !minBit && !maxBit) {
    m_closeButton = MakeButton("closeButton");
    makeRadius();
    m_layout->addWidget(m_iconLabel, 0, Qt::AlignVCenter);
    m_layout->addSpacing(ScaledPixels(10));
    m_layout->addWidget(m_titleLabel, 0, Qt::AlignVCenter | Qt::AlignHCenter);
    m_layout->addStretch();
    m_layout->addWidget(m_radiusLabel);
    m_layout->addWidget(m_closeButton);
  } else if (closeBit && minBit && !maxBit) {
    m_minButton = MakeButton("minButton");
    m_closeButton = MakeButton("closeButton");
    makeRadius();
    m_layout->addWidget(m_iconLabel);
    m_layout->addSpacing(ScaledPixels(10));
    m_layout->addWidget(m_titleLabel);
    m_layout->addStretch();
    m_layout->addWidget(m_radiusLabel);
    m_layout->addWidget(m_minButton);
    m_layout->addWidget(m_closeButton);
  } else {
    m_iconLabel->hide();
    m_layout->addWidget(m_titleLabel, 0, Qt::AlignVCenter | Qt::AlignHCenter);
  }

  if (m_zoomButton) connect(m_zoomButton, &QToolButton::clicked, this, &CMyTitleBar::ChangeMiniState);
  if (m_minButton) connect(m_minButton, &QToolButton::clicked, this, &CMyTitleBar::showSmall);
  if (m_maxButton) connect(m_maxButton, &QToolButton::clicked, this, &CMyTitleBar::showMaxRestore);
  if (m_closeButton && m_window) connect(m_closeButton, &QToolButton::clicked, m_window, &QWidget::close);

  if (m_zoomButton) m_zoomButton->setStyleSheet(MakeSkinButtonStyle("zoom_in", kButtonWidth, kButtonHeight));
  if (m_minButton) m_minButton->setStyleSheet(MakeSkinButtonStyle("minimized", kButtonWidth, kButtonHeight));
  if (m_maxButton) m_maxButton->setStyleSheet(MakeSkinButtonStyle("maxmined", kButtonWidth, kButtonHeight));
  if (m_closeButton) m_closeButton->setStyleSheet(MakeSkinButtonStyle("close", kButtonWidth, kButtonHeight));

  setLayout(m_layout);
}

CMyTitleBar::~CMyTitleBar() = default;

QToolButton* CMyTitleBar::MakeButton(const char* objectName) {
  auto* b = new QToolButton(this);
  b->setObjectName(QLatin1String(objectName));
  b->setFocusPolicy(Qt::NoFocus);
  return b;
}

QMenuBar* CMyTitleBar::MenuBar() {
  if (!m_menuBar) {
    m_menuBar = new QMenuBar(this);
    m_menuBar->setObjectName(QStringLiteral("mainMenuBar"));
    // A menu bar grows by default; here it must keep the width of its items,
    // or it shares the stretch with the title and pushes the radius image
    // and itself into the middle of the bar.
    m_menuBar->setSizePolicy(QSizePolicy::Maximum, QSizePolicy::Preferred);
    m_layout->insertWidget(qMin(kMenuBarIndex, m_layout->count()), m_menuBar);
  }
  return m_menuBar;
}

void CMyTitleBar::SetMenuBarHidden(bool hidden) {
  if (m_menuBar) m_menuBar->setHidden(hidden);
  m_titleLabel->setHidden(hidden);
}

void CMyTitleBar::setWindowIcon(const QIcon& icon) {
  const int side = ScaledPixels(20);
  m_iconLabel->setPixmap(icon.pixmap(side, side, QIcon::Normal, QIcon::Off));
}

void CMyTitleBar::setWindowTitle(const QString& title) { m_titleLabel->setText(title); }

void CMyTitleBar::setCanResize(bool canResize) { m_canResize = canResize; }

void CMyTitleBar::showSmall() {
  if (m_window) m_window->showMinimized();
}

void CMyTitleBar::showMaxRestore() {
  if (!m_window) return;
  if (!m_maximized) {
    m_normalGeometry = m_window->geometry();
    m_window->setGeometry(AvailableGeometryAt(m_dropPoint));
    m_maximized = true;
    if (m_maxButton) m_maxButton->setStyleSheet(MakeSkinButtonStyle("restore", kButtonWidth, kButtonHeight));
  } else {
    m_window->setGeometry(m_normalGeometry);
    m_maximized = false;
    if (m_maxButton) m_maxButton->setStyleSheet(MakeSkinButtonStyle("maxmined", kButtonWidth, kButtonHeight));
  }
}

void CMyTitleBar::ChangeMiniState() {
  m_mini = !m_mini;
  if (m_zoomButton) {
    m_zoomButton->setStyleSheet(
        MakeSkinButtonStyle(m_mini ? "zoom_out" : "zoom_in", kButtonWidth, kButtonHeight));
  }
  if (m_maxButton) m_maxButton->setHidden(m_mini);
  emit MiniStateChanged();
}

void CMyTitleBar::mousePressEvent(QMouseEvent* event) {
  // Not passed on: the bar owns presses on itself (drag-move).
  m_pressPoint = mapToParent(event->pos());
}

void CMyTitleBar::mouseReleaseEvent(QMouseEvent* event) {
  m_pressPoint = QPoint(0, 0);
  if (event->button() == Qt::LeftButton && m_dragged) m_dropPoint = event->globalPos();
  m_dragged = false;
}

void CMyTitleBar::mouseDoubleClickEvent(QMouseEvent*) {
  if (m_canResize) showMaxRestore();
}

void CMyTitleBar::mouseMoveEvent(QMouseEvent* event) {
  if (m_maximized && !m_mini) return;
  if (m_pressPoint.isNull() || !m_window) return;
  m_dragged = true;
  const QPoint global = event->globalPos();
  // Only follow the pointer inside a screen's available area, so the window
  // is never dropped under the task bar.
  if (AvailableGeometryAt(global).contains(global)) {
    m_window->move(global - m_pressPoint);
  }
}

void CMyTitleBar::paintEvent(QPaintEvent*) {
  QStyleOption option;
  option.initFrom(this);
  QPainter painter(this);
  style()->drawPrimitive(QStyle::PE_Widget, &option, &painter, this);
}
