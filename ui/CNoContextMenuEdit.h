#pragma once
#include <QLineEdit>

// Line edit without a context menu; base of the program's line edits.
class CNoContextMenuEdit : public QLineEdit {
  Q_OBJECT
public:
  explicit CNoContextMenuEdit(QWidget* parent);
  ~CNoContextMenuEdit() override;
};
