#include "CMyDialogFrame.h"

#include "CMyTitleBar.h"
#include "InterfaceScale.h"

#include <QPainter>
#include <QStyleOption>
#include <QVBoxLayout>

CMyDialogFrame::CMyDialogFrame(QWidget* parent, Qt::WindowFlags flags) : QDialog(parent) {
  // The flags choose the title bar; the dialog itself is always a frameless
  // top-level window that its own title bar moves.
  setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
  setAttribute(Qt::WA_TranslucentBackground, true);
  if (flags & Qt::WindowStaysOnTopHint) setWindowFlags(windowFlags() | Qt::WindowStaysOnTopHint);

  m_layout = new QVBoxLayout;
  m_layout->setContentsMargins(0, 0, 0, 0);
  m_layout->setSpacing(0);

  if (!(flags & Qt::WindowTitleHint)) {
    m_titleBar = new CMyTitleBar(this, flags);
    m_titleBar->setCanResize(false);
    m_layout->addWidget(m_titleBar);
  }

  m_content = new QWidget(this);
  m_content->setObjectName(QStringLiteral("dialogContent"));
  m_layout->addWidget(m_content);
  setLayout(m_layout);
}

CMyDialogFrame::CMyDialogFrame(QWidget* parent, int flags)
    : CMyDialogFrame(parent, Qt::WindowFlags(QFlag(flags))) {}

CMyDialogFrame::~CMyDialogFrame() = default;

void CMyDialogFrame::ApplyDialogLabelStyle() {
  setStyleSheet(QStringLiteral("QLabel{color: #FFFFFF;font-size: %1px;}"
                               "QLabel:disabled{color: #a991a9;font-size: %1px;}")
                    .arg(ScaledStyleNumber(12)));
}

void CMyDialogFrame::SetWindowIcon(const QIcon& icon) {
  if (m_titleBar) m_titleBar->setWindowIcon(icon);
  setWindowIcon(icon);
}

void CMyDialogFrame::SetWindowTitle(const QString& title) {
  setWindowTitle(title);
  if (m_titleBar) m_titleBar->setWindowTitle(title);
}

bool CMyDialogFrame::event(QEvent* event) {
  // Past QDialog::event on purpose: the frame has no system title bar whose
  // events QDialog would interpret.
  return QWidget::event(event);
}

void CMyDialogFrame::paintEvent(QPaintEvent* event) {
  QWidget::paintEvent(event);
  QStyleOption option;
  option.initFrom(this);
  QPainter painter(this);
  style()->drawPrimitive(QStyle::PE_Widget, &option, &painter, this);
}
