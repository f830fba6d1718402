#pragma once
#include <QFrame>
#include <QIcon>
#include <QPoint>
#include <QRect>

class QLabel;
class QHBoxLayout;
class QMenuBar;
class QToolButton;

// The custom title bar of the main window and of every dialog: icon, title,
// the button set chosen by the window-type bits, drag-move, maximise to a
// screen's available area, and (main window only) the menu bar.
class CMyTitleBar : public QFrame {
  Q_OBJECT
public:
  // `window` is the window the bar moves, minimises, maximises and closes; it
  // is also the bar's parent. `flags` choose the buttons:
  //   exactly Qt::Window                       -> zoom, minimise, maximise, close
  //   close bit, no minimise/maximise bits     -> close
  //   close and minimise bits, no maximise bit -> minimise, close
  //   anything else                            -> no buttons, centred title
  CMyTitleBar(QWidget* window, Qt::WindowFlags flags);
  ~CMyTitleBar() override;

  // Created on first call (object name "mainMenuBar") and placed after the
  // radius image, before the zoom button.
  QMenuBar* MenuBar();
  void SetMenuBarHidden(bool hidden);
  bool IsMaximized() const { return m_maximized; }
  bool IsMini() const { return m_mini; }
  bool CanResize() const { return m_canResize; }

  QLabel* IconLabel() const { return m_iconLabel; }
  QLabel* TitleLabel() const { return m_titleLabel; }
  QLabel* RadiusLabel() const { return m_radiusLabel; }
  QToolButton* ZoomButton() const { return m_zoomButton; }
  QToolButton* MinimizeButton() const { return m_minButton; }
  QToolButton* MaximizeButton() const { return m_maxButton; }
  QToolButton* CloseButton() const { return m_closeButton; }

signals:
  void MiniStateChanged();

public slots:
  void setWindowIcon(const QIcon& icon);
  void setWindowTitle(const QString& title);
  void setCanResize(bool canResize);
  void showMaxRestore();
  void ChangeMiniState();
  void showSmall();

protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

private:
  QToolButton* MakeButton(const char* objectName);

  QLabel* m_iconLabel = nullptr;
  QLabel* m_titleLabel = nullptr;
  QHBoxLayout* m_layout = nullptr;
  QLabel* m_radiusLabel = nullptr;
  QMenuBar* m_menuBar = nullptr;
  QToolButton* m_zoomButton = nullptr;
  QToolButton* m_minButton = nullptr;
  QToolButton* m_maxButton = nullptr;
  QToolButton* m_closeButton = nullptr;
  bool m_maximized = false;
  QPoint m_pressPoint;       // in the window's coordinates; (0, 0) = no press
  QRect m_normalGeometry;    // window geometry before maximising
  bool m_canResize = true;   // a double-click may maximise / restore
  QWidget* m_window = nullptr;
  bool m_mini = false;
  QPoint m_dropPoint;        // global position where the last drag ended
  bool m_dragged = false;
};
