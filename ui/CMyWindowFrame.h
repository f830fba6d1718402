#pragma once
#include <QFrame>
#include <QIcon>
#include <QRect>

class CMyTitleBar;
class QMenuBar;
class QVBoxLayout;
class QHBoxLayout;

// Frameless top-level frame of the main window: title bar and tool area on
// top, body in the middle, bottom widget (status bar) at the foot; resizing by
// the left, right and bottom borders; rounded corners; and a "mini" state in
// which only the title bar and the tool area remain.
class CMyWindowFrame : public QFrame {
  Q_OBJECT
public:
  CMyWindowFrame(QWidget* parent, Qt::WindowFlags titleFlags);
  ~CMyWindowFrame() override;

  // Appends `w` to the tool area; the main bar becomes w's height plus the title bar.
  void AddToolBar(QWidget* w);
  // Deletes the current body and puts `w` in its place.
  void SetCentralWidget(QWidget* w);
  QWidget* GetBodyWidget() const { return m_body; }
  // Deletes the current bottom widget and appends `w` at the foot.
  void SetStatusBar(QWidget* w);
  QMenuBar* MenuBar();
  void SetWindowIcon(const QIcon& icon);
  void SetWindowTitle(const QString& title);
  // Switches the mini state exactly as the title bar's zoom button does.
  void ToggleMiniState();

  CMyTitleBar* TitleBar() const { return m_titleBar; }
  QFrame* MainBar() const { return m_mainBar; }
  bool IsMini() const { return m_mini; }
  bool IsResizing() const { return m_resizing; }

signals:
  // Emitted at the start of every switch between the full and the mini state.
  void MiniStateChanged();

public slots:
  void ChangeMiniState();
  // For children lying on the border that take the press themselves.
  void mousePressed();
  void mouseReleased();

protected:
  bool event(QEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void keyReleaseEvent(QKeyEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

private:
  bool PressStartsResize() const;
  void HandleHoverMove(const QPoint& pos);

  QVBoxLayout* m_outerLayout = nullptr;
  QFrame* m_mainBar = nullptr;
  CMyTitleBar* m_titleBar = nullptr;
  QFrame* m_toolArea = nullptr;
  QHBoxLayout* m_toolLayout = nullptr;
  QWidget* m_body = nullptr;
  QWidget* m_bottom = nullptr;
  bool m_leftEdge = false;
  bool m_rightEdge = false;
  bool m_bottomEdge = false;
  bool m_resizing = false;
  bool m_mini = false;
  QRect m_normalGeometry;  // geometry before entering the mini state
  QSize m_maskSize;        // size the window mask was last built for
  Qt::WindowFlags m_titleFlags;
};
