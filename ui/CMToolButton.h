#pragma once
#include <QToolButton>

// Image tool button. While a play-list name is being edited in place
// (ListNameEditing), the first press clears the flag and clicks at once, so a
// button that ends the rename acts on that first press.
class CMToolButton : public QToolButton {
  Q_OBJECT
public:
  explicit CMToolButton(QWidget* parent);
  ~CMToolButton() override;

protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
};
