#include "CMToolButton.h"

#include "WidgetFlags.h"

CMToolButton::CMToolButton(QWidget* parent) : QToolButton(parent) {}

CMToolButton::~CMToolButton() = default;

void CMToolButton::mousePressEvent(QMouseEvent* event) {
  if (ListNameEditing) {
    // The press ends the in-place rename; act on it at once, since no release
    // click would follow the focus change.
    ListNameEditing = false;
    emit clicked(false);
    return;
  }
  QToolButton::mousePressEvent(event);
}

void CMToolButton::mouseReleaseEvent(QMouseEvent* event) { QToolButton::mouseReleaseEvent(event); }
