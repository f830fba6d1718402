#include "CFocusNotiFlyEdit.h"

#include "WidgetFlags.h"

CFocusNotiFlyEdit::CFocusNotiFlyEdit(QWidget* parent) : CNoContextMenuEdit(parent) {
  setFocusPolicy(Qt::StrongFocus);
}

CFocusNotiFlyEdit::~CFocusNotiFlyEdit() {
  // An edit destroyed while it holds the focus gets no focus-out event; do not
  // leave the main window's shortcuts switched off behind it.
  if (hasFocus()) EditFocusFlag = false;
}

void CFocusNotiFlyEdit::focusInEvent(QFocusEvent* event) {
  QLineEdit::focusInEvent(event);
  EditFocusFlag = true;
}

void CFocusNotiFlyEdit::focusOutEvent(QFocusEvent* event) {
  QLineEdit::focusOutEvent(event);
  EditFocusFlag = false;
}
