#pragma once
#include <QToolButton>

class QLabel;

// Skin thumbnail with a check mark in its top-left corner.
class CSkinButton : public QToolButton {
  Q_OBJECT
public:
  explicit CSkinButton(QWidget* parent);
  ~CSkinButton() override;

  void SetMarked(bool marked);
  bool IsMarked() const;
  QLabel* CheckMark() const { return m_checkMark; }

private:
  QLabel* m_checkMark = nullptr;
};
