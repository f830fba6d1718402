#include "CMyTitleBar.h"
#include "CMyWindowFrame.h"
#include "ChromeTestUtil.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHoverEvent>
#include <QLabel>
#include <QMenuBar>
#include <QScreen>
#include <QPointer>
#include <QToolButton>
#include <gtest/gtest.h>

namespace {

void Hover(QWidget* w, QPoint pos) {
  QHoverEvent event(QEvent::HoverMove, pos, pos);
  QCoreApplication::sendEvent(w, &event);
}

struct FrameFixture : ::testing::Test {
  CMyWindowFrame frame{nullptr, Qt::Window};
  void SetUp() override {
    frame.setMinimumSize(300, 200);
    frame.setGeometry(100, 100, 1000, 700);
  }
  int TitleHeight() { return frame.TitleBar()->height(); }
};

}  // namespace

TEST_F(FrameFixture, HoverZonesChooseTheCursor) {
  const int w = frame.width();
  const int h = frame.height();
  const int below = TitleHeight() + 20;
  struct Case {
    QPoint pos;
    Qt::CursorShape shape;
  } cases[] = {
      {{w - 4, below}, Qt::SizeHorCursor},    // right zone is 4 pixels wide
      {{w - 5, below}, Qt::ArrowCursor},
      {{w - 1, TitleHeight()}, Qt::ArrowCursor},  // side zones stop below the title bar
      {{w - 1, TitleHeight() + 1}, Qt::SizeHorCursor},
      {{0, below}, Qt::SizeHorCursor},
      {{3, below}, Qt::SizeHorCursor},
      {{4, below}, Qt::ArrowCursor},
      {{w / 2, h - 1}, Qt::SizeVerCursor},
      {{w / 2, h - 4}, Qt::SizeVerCursor},
      {{w / 2, h - 5}, Qt::ArrowCursor},
      {{2, h - 2}, Qt::SizeBDiagCursor},
      {{w - 2, h - 2}, Qt::SizeFDiagCursor},
      {{w / 2, 0}, Qt::ArrowCursor},  // the top border never resizes
  };
  for (const Case& c : cases) {
    Hover(&frame, c.pos);
    EXPECT_EQ(frame.cursor().shape(), c.shape) << c.pos.x() << "," << c.pos.y();
  }
}

TEST_F(FrameFixture, LeftBorderDragStopsAtMinimumWidth) {
  Hover(&frame, {1, 300});
  SendMouse(&frame, QEvent::MouseButtonPress, {1, 300}, Qt::LeftButton);
  ASSERT_TRUE(frame.IsResizing());
  const QRect before = frame.geometry();
  // Drag far past the right border: the left border stops, the right stays.
  Hover(&frame, {790, 300});
  EXPECT_EQ(frame.geometry().right(), before.right());
  EXPECT_EQ(frame.geometry().left(), before.right() - frame.minimumWidth());
  SendMouse(&frame, QEvent::MouseButtonRelease, {790, 300}, Qt::LeftButton);
  EXPECT_FALSE(frame.IsResizing());
}

TEST_F(FrameFixture, RightAndBottomBordersFollowThePointer) {
  Hover(&frame, {frame.width() - 2, frame.height() - 2});
  frame.mousePressed();  // a child on the border took the press
  ASSERT_TRUE(frame.IsResizing());
  const QPoint target = frame.mapToGlobal(QPoint(900, 650));
  Hover(&frame, QPoint(900, 650));
  EXPECT_EQ(frame.geometry().right(), target.x());
  EXPECT_EQ(frame.geometry().bottom(), target.y());
  frame.mouseReleased();
  EXPECT_FALSE(frame.IsResizing());
}

TEST_F(FrameFixture, MiniStateRoundTripRestoresGeometry) {
  int switches = 0;
  QObject::connect(&frame, &CMyWindowFrame::MiniStateChanged, [&] { ++switches; });
  auto* body = new QLabel("body");
  frame.SetCentralWidget(body);
  auto* bottom = new QLabel("status");
  frame.SetStatusBar(bottom);
  frame.show();
  const QRect normal = frame.geometry();

  frame.ToggleMiniState();
  EXPECT_TRUE(frame.IsMini());
  EXPECT_TRUE(frame.TitleBar()->IsMini());
  EXPECT_TRUE(body->isHidden());
  EXPECT_TRUE(bottom->isHidden());
  EXPECT_TRUE(frame.TitleBar()->MaximizeButton()->isHidden());
  EXPECT_FALSE(frame.TitleBar()->CanResize());
  EXPECT_EQ(frame.width(), 440);
  EXPECT_EQ(frame.MainBar()->height(), 90);
  // In the mini state no border resizes.
  Hover(&frame, {frame.width() - 1, 60});
  EXPECT_EQ(frame.cursor().shape(), Qt::ArrowCursor);

  frame.ToggleMiniState();
  EXPECT_FALSE(frame.IsMini());
  EXPECT_EQ(frame.geometry(), normal);
  EXPECT_FALSE(body->isHidden());
  EXPECT_TRUE(frame.TitleBar()->CanResize());
  EXPECT_EQ(switches, 2);

  // Moving the mini window keeps the new place and the earlier size.
  frame.ToggleMiniState();
  frame.move(normal.topLeft() + QPoint(40, 30));
  frame.ToggleMiniState();
  EXPECT_EQ(frame.geometry(), QRect(normal.topLeft() + QPoint(40, 30), normal.size()));
}

TEST_F(FrameFixture, MaximiseAndRestore) {
  frame.show();
  const QRect normal = frame.geometry();
  CMyTitleBar* bar = frame.TitleBar();
  bar->showMaxRestore();
  EXPECT_TRUE(bar->IsMaximized());
  QScreen* screen = QGuiApplication::screenAt(QPoint(0, 0));
  if (!screen) screen = QGuiApplication::primaryScreen();
  EXPECT_EQ(frame.geometry(), screen->availableGeometry());
  EXPECT_TRUE(bar->MaximizeButton()->styleSheet().contains("but/restore.png"));
  // Maximised: no resize zones, and dragging the title bar does nothing.
  Hover(&frame, {frame.width() - 1, 300});
  EXPECT_EQ(frame.cursor().shape(), Qt::ArrowCursor);
  SendMouse(bar, QEvent::MouseButtonPress, {100, 10}, Qt::LeftButton);
  SendMouse(bar, QEvent::MouseMove, {150, 12}, Qt::NoButton, Qt::LeftButton);
  SendMouse(bar, QEvent::MouseButtonRelease, {150, 12}, Qt::LeftButton);
  EXPECT_EQ(frame.geometry(), screen->availableGeometry());
  // A double-click restores the exact earlier geometry.
  SendMouse(bar, QEvent::MouseButtonDblClick, {100, 10}, Qt::LeftButton);
  EXPECT_FALSE(bar->IsMaximized());
  EXPECT_EQ(frame.geometry(), normal);
  EXPECT_TRUE(bar->MaximizeButton()->styleSheet().contains("but/maxmined.png"));
}

TEST_F(FrameFixture, TitleBarDragMovesTheWindow) {
  frame.show();
  CMyTitleBar* bar = frame.TitleBar();
  const QPoint start = frame.pos();
  SendMouse(bar, QEvent::MouseButtonPress, {200, 10}, Qt::LeftButton);
  const QPoint pressPoint = bar->mapToParent(QPoint(200, 10));
  // The move lands the window at the pointer's global position minus the press point.
  const QPoint global = bar->mapToGlobal(QPoint(230, 25));
  QMouseEvent move(QEvent::MouseMove, QPoint(230, 25), global, Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(bar, &move);
  EXPECT_EQ(frame.pos(), global - pressPoint);
  EXPECT_NE(frame.pos(), start);
}

TEST(TitleBar, ButtonSetsFollowTheFlags) {
  struct Case {
    Qt::WindowFlags flags;
    bool zoom, minimise, maximise, close, radius, icon;
  } cases[] = {
      {Qt::Window, true, true, true, true, true, true},
      {Qt::Dialog | Qt::WindowCloseButtonHint, false, false, false, true, true, true},
      {Qt::Dialog | Qt::WindowCloseButtonHint | Qt::WindowMinimizeButtonHint, false, true, false, true, true, true},
      {Qt::Dialog, false, false, false, false, false, false},
      {Qt::Dialog | Qt::FramelessWindowHint, false, false, false, false, false, false},
      {Qt::Dialog | Qt::WindowCloseButtonHint | Qt::WindowMaximizeButtonHint, false, false, false, false, false, false},
  };
  for (const Case& c : cases) {
    QWidget window;
    CMyTitleBar bar(&window, c.flags);
    SCOPED_TRACE(int(c.flags));
    EXPECT_EQ(bar.ZoomButton() != nullptr, c.zoom);
    EXPECT_EQ(bar.MinimizeButton() != nullptr, c.minimise);
    EXPECT_EQ(bar.MaximizeButton() != nullptr, c.maximise);
    EXPECT_EQ(bar.CloseButton() != nullptr, c.close);
    EXPECT_EQ(bar.RadiusLabel() != nullptr, c.radius);
    EXPECT_EQ(!bar.IconLabel()->isHidden(), c.icon);
    EXPECT_EQ(bar.height(), 25);
  }
}

TEST(TitleBar, MenuBarSitsBetweenRadiusAndZoomButton) {
  QWidget window;
  CMyTitleBar bar(&window, Qt::Window);
  QMenuBar* menu = bar.MenuBar();
  ASSERT_NE(menu, nullptr);
  EXPECT_EQ(menu->objectName(), "mainMenuBar");
  EXPECT_EQ(bar.MenuBar(), menu);
  auto* layout = qobject_cast<QHBoxLayout*>(bar.layout());
  const int menuAt = layout->indexOf(menu);
  EXPECT_EQ(menuAt, layout->indexOf(bar.RadiusLabel()) + 1);
  EXPECT_EQ(layout->indexOf(bar.ZoomButton()), menuAt + 1);
  bar.SetMenuBarHidden(true);
  EXPECT_TRUE(menu->isHidden());
  EXPECT_TRUE(bar.TitleLabel()->isHidden());
}

// Laid out in a wide bar, the menu keeps the width of its one item: the
// stretch stays left of the radius image, which the menu and the zoom button
// follow without a gap (a growing menu bar would take half the stretch and
// land in the middle of the bar).
TEST(TitleBar, MenuBarKeepsItsWidthBesideTheButtons) {
  QWidget window;
  window.resize(924, 610);
  CMyTitleBar bar(&window, Qt::Window);
  bar.MenuBar()->addMenu(QStringLiteral(" "))->addAction(QStringLiteral("Settings"));
  bar.setGeometry(0, 0, 924, bar.height());
  bar.layout()->activate();
  const QRect menu = bar.MenuBar()->geometry();
  EXPECT_EQ(menu.width(), bar.MenuBar()->sizeHint().width());
  EXPECT_EQ(bar.RadiusLabel()->geometry().right() + 1, menu.left());
  EXPECT_EQ(menu.right() + 1, bar.ZoomButton()->geometry().left());
  EXPECT_LT(bar.TitleLabel()->geometry().right(), bar.RadiusLabel()->geometry().left() - 100);
}

TEST(TitleBar, SizesFollowTheScale) {
  ScaleGuard guard(1.5);
  QWidget window;
  CMyTitleBar bar(&window, Qt::Window);
  EXPECT_EQ(bar.height(), 37);
  EXPECT_EQ(bar.RadiusLabel()->size(), QSize(34, 37));
  EXPECT_TRUE(bar.CloseButton()->styleSheet().contains("min-height: 37.5;"));
  EXPECT_TRUE(bar.CloseButton()->styleSheet().contains("min-width: 51;"));
}

TEST(WindowFrame, ToolBarAndBodyPlacement) {
  ScaleGuard guard(1.5);
  CMyWindowFrame frame(nullptr, Qt::Window);
  auto* tool = new QWidget;
  tool->resize(100, 75);
  frame.AddToolBar(tool);
  // 75 + 25 x 1.5 = 112.5, truncated after the sum.
  EXPECT_EQ(frame.MainBar()->height(), 112);
  QPointer<QWidget> oldBody = frame.GetBodyWidget();
  auto* body = new QWidget;
  frame.SetCentralWidget(body);
  EXPECT_TRUE(oldBody.isNull());
  EXPECT_EQ(frame.GetBodyWidget(), body);
  EXPECT_EQ(frame.layout()->indexOf(body), 1);
  frame.SetWindowTitle("Tavrel Sonacap");
  EXPECT_EQ(frame.windowTitle(), "Tavrel Sonacap");
  EXPECT_EQ(frame.TitleBar()->TitleLabel()->text(), "Tavrel Sonacap");
}
