#include "CMyDialogFrame.h"
#include "CMyTitleBar.h"
#include "CTransPopupWidget.h"
#include "ChromeTestUtil.h"

#include <QFocusEvent>
#include <QLabel>
#include <QLayout>
#include <QSignalSpy>
#include <QToolButton>
#include <gtest/gtest.h>

TEST(DialogFrame, CloseButtonClosesTheDialog) {
  CMyDialogFrame dialog(nullptr, Qt::Dialog | Qt::WindowCloseButtonHint);
  dialog.show();
  ASSERT_NE(dialog.TitleBar(), nullptr);
  ASSERT_NE(dialog.TitleBar()->CloseButton(), nullptr);
  EXPECT_EQ(dialog.TitleBar()->MinimizeButton(), nullptr);
  dialog.TitleBar()->CloseButton()->click();
  EXPECT_FALSE(dialog.isVisible());
}

TEST(DialogFrame, DoubleClickOnTitleKeepsGeometry) {
  CMyDialogFrame dialog(nullptr, 0x8000003);
  dialog.setGeometry(50, 60, 400, 300);
  dialog.show();
  const QRect before = dialog.geometry();
  SendMouse(dialog.TitleBar(), QEvent::MouseButtonDblClick, {50, 5}, Qt::LeftButton);
  EXPECT_EQ(dialog.geometry(), before);
  EXPECT_FALSE(dialog.TitleBar()->IsMaximized());
}

TEST(DialogFrame, FlagsChooseTitleBarAndWindowProperties) {
  struct Case {
    int flags;
    bool titleBar;
    bool closeButton;
    bool onTop;
  } cases[] = {
      {int(Qt::Dialog), true, false, false},
      {0x8000003, true, true, false},
      {0x803, true, false, false},
      {int(Qt::Dialog | Qt::WindowStaysOnTopHint), true, false, true},
      {int(Qt::Dialog | Qt::WindowTitleHint), false, false, false},
  };
  for (const Case& c : cases) {
    CMyDialogFrame dialog(nullptr, c.flags);
    SCOPED_TRACE(c.flags);
    EXPECT_EQ(dialog.TitleBar() != nullptr, c.titleBar);
    if (dialog.TitleBar()) {
      EXPECT_EQ(dialog.TitleBar()->CloseButton() != nullptr, c.closeButton);
      EXPECT_FALSE(dialog.TitleBar()->CanResize());
    }
    EXPECT_TRUE(dialog.windowFlags() & Qt::FramelessWindowHint);
    EXPECT_EQ(bool(dialog.windowFlags() & Qt::WindowStaysOnTopHint), c.onTop);
    EXPECT_TRUE(dialog.testAttribute(Qt::WA_TranslucentBackground));
    ASSERT_NE(dialog.GetContentWidget(), nullptr);
    EXPECT_EQ(dialog.layout()->indexOf(dialog.GetContentWidget()), c.titleBar ? 1 : 0);
  }
}

TEST(DialogFrame, TitleAndIconReachTheTitleBar) {
  CMyDialogFrame dialog(nullptr, Qt::Dialog | Qt::WindowCloseButtonHint);
  dialog.SetWindowTitle("About");
  EXPECT_EQ(dialog.windowTitle(), "About");
  EXPECT_EQ(dialog.TitleBar()->TitleLabel()->text(), "About");
  QPixmap pixmap(32, 32);
  pixmap.fill(Qt::red);
  dialog.SetWindowIcon(QIcon(pixmap));
  EXPECT_EQ(dialog.TitleBar()->IconLabel()->pixmap(Qt::ReturnByValue).size(), QSize(20, 20));
  EXPECT_FALSE(dialog.windowIcon().isNull());
  // Without a title bar only the window's own title changes.
  CMyDialogFrame bare(nullptr, Qt::Dialog | Qt::WindowTitleHint);
  bare.SetWindowTitle("Plain");
  EXPECT_EQ(bare.windowTitle(), "Plain");
}

TEST(TransPopupWidget, FocusLossAnnouncesHidingOnlyWithAutoHide) {
  CTransPopupWidget popup(nullptr);
  QSignalSpy spy(&popup, &CTransPopupWidget::aboutToHide);
  popup.show();
  QFocusEvent out(QEvent::FocusOut, Qt::ActiveWindowFocusReason);
  QCoreApplication::sendEvent(&popup, &out);
  QCoreApplication::sendEvent(&popup, &out);
  EXPECT_EQ(spy.count(), 2);
  EXPECT_TRUE(popup.isVisible());  // it never hides itself

  popup.SetAutoHide(false);
  QCoreApplication::sendEvent(&popup, &out);
  EXPECT_EQ(spy.count(), 2);
  EXPECT_TRUE(popup.testAttribute(Qt::WA_TranslucentBackground));
  EXPECT_EQ(popup.focusPolicy(), Qt::StrongFocus);
}
