#pragma once
#include <QDialog>
#include <QIcon>

class CMyTitleBar;
class QVBoxLayout;

// Base of every dialog: a frameless, translucent top-level dialog with the
// custom title bar on top and an empty content widget below, on which the
// derived dialog sets its own layout. Background, border and rounded corners
// come from the application style sheet.
//
// `flags` choose the title bar's buttons (see CMyTitleBar); they do not become
// the dialog's window type. Qt::WindowStaysOnTopHint keeps the dialog on top;
// Qt::WindowTitleHint leaves the title bar out. Used values:
//   Qt::Dialog                              title, no buttons
//   Qt::Dialog | Qt::WindowCloseButtonHint  title and close button
//   Qt::Dialog | Qt::FramelessWindowHint    title, no buttons
class CMyDialogFrame : public QDialog {
  Q_OBJECT
public:
  CMyDialogFrame(QWidget* parent, Qt::WindowFlags flags);
  // The same for callers holding the flag bits as a plain number (0x8000003).
  CMyDialogFrame(QWidget* parent, int flags);
  ~CMyDialogFrame() override;

  QWidget* GetContentWidget() const { return m_content; }
  // Null when the flags asked for no title bar.
  CMyTitleBar* TitleBar() const { return m_titleBar; }
  void SetWindowIcon(const QIcon& icon);
  void SetWindowTitle(const QString& title);

protected:
  // The dialogs' common label look: white 12 px text, muted when disabled.
  void ApplyDialogLabelStyle();
  bool event(QEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

private:
  QVBoxLayout* m_layout = nullptr;
  CMyTitleBar* m_titleBar = nullptr;
  QWidget* m_content = nullptr;
};
