#pragma once
// Small helpers shared by the chrome tests.
#include "InterfaceScale.h"

#include <QCoreApplication>
#include <QMouseEvent>
#include <QWidget>

// Sets the interface scale for one test and puts 1.0 back afterwards.
class ScaleGuard {
public:
  explicit ScaleGuard(double scale) { SetInterfaceScale(scale); }
  ~ScaleGuard() { SetInterfaceScale(1.0); }
};

inline void SendMouse(QWidget* w, QEvent::Type type, QPoint pos, Qt::MouseButton button,
                      Qt::MouseButtons buttons = Qt::NoButton) {
  if (buttons == Qt::NoButton && type != QEvent::MouseButtonRelease) buttons = button;
  QMouseEvent event(type, pos, w->mapToGlobal(pos), button, buttons, Qt::NoModifier);
  QCoreApplication::sendEvent(w, &event);
}
