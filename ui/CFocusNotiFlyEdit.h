#pragma once
#include "CNoContextMenuEdit.h"

// Line edit that keeps EditFocusFlag (WidgetFlags.h) set while it holds the
// keyboard focus, so the main window's shortcuts (cut, copy, paste, delete on
// the library) do not act while the user types.
class CFocusNotiFlyEdit : public CNoContextMenuEdit {
  Q_OBJECT
public:
  explicit CFocusNotiFlyEdit(QWidget* parent);
  ~CFocusNotiFlyEdit() override;

protected:
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
};
