#pragma once
#include <QFrame>

// Base of the pop-up panels: a frameless translucent top-level frame that
// takes the keyboard focus and announces by aboutToHide() that it should be
// hidden when it loses the focus. It does not hide itself: the derived pop-up
// or its owner decides how (the play list animates away).
class CTransPopupWidget : public QFrame {
  Q_OBJECT
public:
  explicit CTransPopupWidget(QWidget* parent);
  ~CTransPopupWidget() override;

  // On: the widget takes the keyboard focus and a focus loss emits
  // aboutToHide(). Off: focus loss is ignored (used before the owner moves the
  // focus away itself).
  void SetAutoHide(bool on);
  bool AutoHide() const { return m_autoHide; }

signals:
  void aboutToHide();

protected:
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;

private:
  bool m_autoHide = true;
};
