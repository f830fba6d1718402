#include "CFilterEdit.h"
#include "CFocusNotiFlyEdit.h"
#include "CMToolButton.h"
#include "CNoContextMenuEdit.h"
#include "ChromeTestUtil.h"
#include "WidgetFlags.h"

#include <QElapsedTimer>
#include <QFocusEvent>
#include <QListView>
#include <QSignalSpy>
#include <QStandardItemModel>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

struct FilterFixture : ::testing::Test {
  QWidget window;
  CFilterEdit* edit = nullptr;
  std::unique_ptr<QSignalSpy> spy;
  void SetUp() override {
    edit = new CFilterEdit("Filter", &window);
    edit->AddFilterType("All", 0);
    edit->AddFilterType("Name", 2);
    edit->AddFilterType("Artist", 4);
    edit->AddFilterType("Album", 5);
    spy = std::make_unique<QSignalSpy>(edit, &CFilterEdit::filter);
  }
  QPair<int, QString> Last() {
    const QList<QVariant> args = spy->last();
    return {args.at(0).toInt(), args.at(1).toString()};
  }
};

}  // namespace

TEST_F(FilterFixture, TypingRestartsTheDebounceAndEmitsOnce) {
  window.show();
  edit->clear();  // as after the focus took the default text away
  QTest::keyClicks(edit, "ab");
  EXPECT_TRUE(edit->DebounceTimer()->isActive());
  EXPECT_EQ(edit->DebounceTimer()->interval(), 500);
  EXPECT_EQ(spy->count(), 0);
  // Drive the timer's slot directly instead of waiting.
  QMetaObject::invokeMethod(edit->DebounceTimer(), "timeout", Qt::DirectConnection);
  ASSERT_EQ(spy->count(), 1);
  EXPECT_EQ(Last(), qMakePair(0, QString("ab")));
  EXPECT_FALSE(edit->DebounceTimer()->isActive());
  EXPECT_TRUE(edit->ClearButton()->isVisibleTo(edit));
}

TEST_F(FilterFixture, RealTimeDebounceFiresAboutHalfASecondAfterTheLastKey) {
  window.show();
  edit->clear();
  QElapsedTimer clock;
  QTest::keyClicks(edit, "a");
  QTest::qWait(200);
  clock.start();
  QTest::keyClicks(edit, "b");
  ASSERT_TRUE(spy->wait(3000));
  // Generous bounds: only "not on every key, not long after" matters here.
  EXPECT_GE(clock.elapsed(), 400);
  EXPECT_EQ(spy->count(), 1);
  EXPECT_EQ(Last().second, "ab");
}

TEST_F(FilterFixture, ProgrammaticTextDoesNotStartTheTimer) {
  edit->setText("xyz");
  EXPECT_FALSE(edit->DebounceTimer()->isActive());
}

TEST_F(FilterFixture, DefaultTextCountsAsEmpty) {
  struct Case {
    QString text;
    QString emitted;
  } cases[] = {{"Filter", ""}, {"", ""}, {"Filt", "Filt"}, {"beat", "beat"}};
  for (const Case& c : cases) {
    edit->setText(c.text);
    edit->emtiFilterChanged();
    EXPECT_EQ(Last().second, c.emitted) << c.text.toStdString();
    EXPECT_EQ(edit->ClearButton()->isVisibleTo(edit), !c.emitted.isEmpty()) << c.text.toStdString();
  }
}

TEST_F(FilterFixture, ClearEmitsEmptyAtOnceAndHidesTheButton) {
  edit->setText("rock");
  edit->UpdateClearButton();
  ASSERT_TRUE(edit->ClearButton()->isVisibleTo(edit));
  edit->ClearButton()->click();
  ASSERT_EQ(spy->count(), 1);
  EXPECT_EQ(Last().second, "");
  EXPECT_EQ(edit->text(), "");
  EXPECT_FALSE(edit->ClearButton()->isVisibleTo(edit));
}

TEST_F(FilterFixture, TypesAreColumnIdsAndFirstAddedIsCurrent) {
  edit->emtiFilterChanged();
  EXPECT_EQ(Last().first, 0);
  // Choosing "Artist" in the pop-up emits at once with the current text and closes it.
  edit->setText("abba");
  edit->showFilterType();
  EXPECT_TRUE(edit->Popup()->isVisible());
  const QModelIndex artist = edit->TypeModel()->index(2, 0);
  edit->TypeList()->setCurrentIndex(artist);
  emit edit->TypeList()->clicked(artist);
  EXPECT_EQ(Last(), qMakePair(4, QString("abba")));
  EXPECT_FALSE(edit->Popup()->isVisible());

  edit->ResetFilter("Suchen");
  EXPECT_EQ(edit->text(), "Suchen");
  EXPECT_EQ(edit->TypeModel()->rowCount(), 0);
  edit->AddFilterType("Album", 5);
  edit->AddFilterType("Name", 2);
  edit->setText("x");
  edit->emtiFilterChanged();
  EXPECT_EQ(Last(), qMakePair(5, QString("x")));
  EXPECT_EQ(edit->TypeModel()->item(0)->data(Qt::CheckStateRole).toInt(), int(Qt::Unchecked));
}

TEST_F(FilterFixture, EmptyTypeListFiltersAllColumns) {
  edit->ResetFilter("Filter");
  edit->setText("q");
  edit->emtiFilterChanged();
  EXPECT_EQ(Last(), qMakePair(0, QString("q")));
}

TEST_F(FilterFixture, FocusSwapsTheDefaultTextAndSetsTheFlag) {
  QFocusEvent in(QEvent::FocusIn, Qt::MouseFocusReason);
  QCoreApplication::sendEvent(edit, &in);
  EXPECT_EQ(edit->text(), "");
  EXPECT_TRUE(EditFocusFlag);
  QFocusEvent out(QEvent::FocusOut, Qt::MouseFocusReason);
  QCoreApplication::sendEvent(edit, &out);
  EXPECT_EQ(edit->text(), "Filter");
  EXPECT_FALSE(EditFocusFlag);
}

TEST(LineEdits, FocusFlagFollowsTheFocusAndNoContextMenu) {
  QWidget window;
  auto* first = new CFocusNotiFlyEdit(&window);
  auto* plain = new CNoContextMenuEdit(&window);
  window.show();
  window.activateWindow();
  EXPECT_EQ(first->contextMenuPolicy(), Qt::NoContextMenu);
  EXPECT_EQ(plain->contextMenuPolicy(), Qt::NoContextMenu);
  EXPECT_EQ(first->focusPolicy(), Qt::StrongFocus);

  QFocusEvent in(QEvent::FocusIn, Qt::TabFocusReason);
  QCoreApplication::sendEvent(first, &in);
  EXPECT_TRUE(EditFocusFlag);
  QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
  QCoreApplication::sendEvent(first, &out);
  EXPECT_FALSE(EditFocusFlag);
  // A plain edit never touches the flag.
  QCoreApplication::sendEvent(plain, &in);
  EXPECT_FALSE(EditFocusFlag);
}

TEST(ToolButton, FirstPressAfterRenameClicksAtOnce) {
  CMToolButton button(nullptr);
  QSignalSpy clicks(&button, &QToolButton::clicked);
  ListNameEditing = true;
  SendMouse(&button, QEvent::MouseButtonPress, {2, 2}, Qt::LeftButton);
  EXPECT_EQ(clicks.count(), 1);
  EXPECT_FALSE(ListNameEditing);
  EXPECT_FALSE(button.isDown());
  SendMouse(&button, QEvent::MouseButtonRelease, {2, 2}, Qt::LeftButton);
  EXPECT_EQ(clicks.count(), 1);  // no second click from the release
  // The next press behaves normally: click on release.
  button.resize(20, 20);
  SendMouse(&button, QEvent::MouseButtonPress, {2, 2}, Qt::LeftButton);
  EXPECT_EQ(clicks.count(), 1);
  SendMouse(&button, QEvent::MouseButtonRelease, {2, 2}, Qt::LeftButton);
  EXPECT_EQ(clicks.count(), 2);
}
