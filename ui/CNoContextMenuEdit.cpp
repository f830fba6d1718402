#include "CNoContextMenuEdit.h"

CNoContextMenuEdit::CNoContextMenuEdit(QWidget* parent) : QLineEdit(parent) {
  setContextMenuPolicy(Qt::NoContextMenu);
}

CNoContextMenuEdit::~CNoContextMenuEdit() = default;
