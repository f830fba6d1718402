#include "CMyStatusBar.h"

#include <QHBoxLayout>

CMyStatusBar::CMyStatusBar(QWidget* parent) : QFrame(parent) {
  m_layout = new QHBoxLayout(this);
  m_layout->setContentsMargins(0, 0, 0, 0);
  m_layout->addStretch();
}

CMyStatusBar::~CMyStatusBar() = default;
