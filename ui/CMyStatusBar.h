#pragma once
#include <QFrame>

class QHBoxLayout;

// Base of the bottom bar: a frame with a horizontal layout holding a stretch.
class CMyStatusBar : public QFrame {
  Q_OBJECT
public:
  explicit CMyStatusBar(QWidget* parent);
  ~CMyStatusBar() override;

protected:
  QHBoxLayout* m_layout = nullptr;
};
