#include "CTransPopupWidget.h"

#include <QFocusEvent>

CTransPopupWidget::CTransPopupWidget(QWidget* parent) : QFrame(parent) {
  setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
  setAttribute(Qt::WA_TranslucentBackground, true);
  setFocusPolicy(Qt::StrongFocus);
}

CTransPopupWidget::~CTransPopupWidget() = default;

void CTransPopupWidget::SetAutoHide(bool on) {
  m_autoHide = on;
  if (on) setFocus(Qt::PopupFocusReason);
}

void CTransPopupWidget::focusInEvent(QFocusEvent* event) { QWidget::focusInEvent(event); }

void CTransPopupWidget::focusOutEvent(QFocusEvent* event) {
  if (!m_autoHide) {
    event->ignore();
    return;
  }
  QWidget::focusOutEvent(event);
  emit aboutToHide();
}
