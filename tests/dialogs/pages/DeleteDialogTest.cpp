#include "CDeleteDialog.h"
#include "SystemHelpers.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

namespace {
constexpr int kOk = QDialogButtonBox::Ok;
constexpr int kCancel = QDialogButtonBox::Cancel;
constexpr int kYes = QDialogButtonBox::Yes;
constexpr int kNo = QDialogButtonBox::No;

QList<DialogButtonInfo> Buttons(std::initializer_list<DialogButtonInfo> list)
{
    return QList<DialogButtonInfo>(list);
}

// Runs exec() and performs `act` once the dialog is up; returns the result.
int RunDialog(CDeleteDialog& dialog, const std::function<void()>& act)
{
    QTimer::singleShot(0, act);
    return dialog.exec();
}

QPushButton* ButtonOf(QDialogButtonBox* box, int standard)
{
    return box ? box->button(static_cast<QDialogButtonBox::StandardButton>(standard)) : nullptr;
}

struct GridPos {
    int row, column;
};
GridPos PosOf(QGridLayout* grid, QWidget* w)
{
    int r, c, rs, cs;
    grid->getItemPosition(grid->indexOf(w), &r, &c, &rs, &cs);
    return {r, c};
}
} // namespace

TEST(DeleteDialog, LayoutAndResultForOneTwoAndThreeButtons)
{
    struct Case {
        QList<DialogButtonInfo> buttons;
        int press;            // standard button to click
        bool separateFirst;   // three records: the first stands alone
        int boxColumn;
    };
    const std::vector<Case> cases = {
        {Buttons({{kOk, "OK", true}}), kOk, false, 1},
        {Buttons({{kCancel, "Cancel", true}, {kOk, "Delete", false}}), kOk, false, 1},
        {Buttons({{kCancel, "Cancel", false}, {kNo, "No", false}, {kYes, "Yes", true}}), kNo, true, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.buttons.size());
        CDeleteDialog dialog("Question?", c.buttons);
        QGridLayout* grid = dialog.Grid();
        EXPECT_EQ(PosOf(grid, dialog.ButtonBox()).column, c.boxColumn);
        EXPECT_EQ(PosOf(grid, dialog.ButtonBox()).row, 1);
        EXPECT_EQ(dialog.FirstButtonBox() != nullptr, c.separateFirst);
        if (c.separateFirst) {
            EXPECT_EQ(PosOf(grid, dialog.FirstButtonBox()).column, 1);
            EXPECT_NE(ButtonOf(dialog.FirstButtonBox(), kCancel), nullptr);
            EXPECT_EQ(ButtonOf(dialog.ButtonBox(), kCancel), nullptr);
        }
        for (const DialogButtonInfo& info : c.buttons) {
            QPushButton* b = ButtonOf(dialog.ButtonBox(), info.StandardButton);
            if (!b)
                b = ButtonOf(dialog.FirstButtonBox(), info.StandardButton);
            ASSERT_NE(b, nullptr);
            EXPECT_EQ(b->text(), info.text);
            EXPECT_EQ(b->isDefault(), info.isDefault);
            EXPECT_EQ(b->shortcut() == QKeySequence(Qt::Key_Enter), info.isDefault);
        }
        QDialogButtonBox* box = (c.separateFirst && c.press == kCancel) ? dialog.FirstButtonBox() : dialog.ButtonBox();
        EXPECT_EQ(RunDialog(dialog, [&] { ButtonOf(box, c.press)->click(); }), c.press);
        EXPECT_FALSE(dialog.IsChecked());
    }
}

TEST(DeleteDialog, KeysAnswerTheDefaultOrNothing)
{
    const auto buttons = Buttons({{kCancel, "Cancel", false}, {kOk, "Delete", true}});
    for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter}) {
        CDeleteDialog dialog("Delete?", buttons);
        EXPECT_EQ(RunDialog(dialog, [&] { QTest::keyClick(&dialog, key, key == Qt::Key_Enter ? Qt::KeypadModifier : Qt::NoModifier); }), kOk)
            << key;
    }
    CDeleteDialog dialog("Delete?", buttons);
    EXPECT_EQ(RunDialog(dialog, [&] { QTest::keyClick(&dialog, Qt::Key_Escape); }), 0);
}

TEST(DeleteDialog, DoNotShowAgainBox)
{
    const auto buttons = Buttons({{kCancel, "Cancel", true}, {kOk, "Delete", false}});
    CDeleteDialog dialog("Delete?", buttons, nullptr, true);
    ASSERT_NE(dialog.CheckBox(), nullptr);
    EXPECT_EQ(dialog.CheckBox()->text(), "Do not show this again");
    EXPECT_EQ(PosOf(dialog.Grid(), dialog.CheckBox()).row, 1);
    EXPECT_EQ(PosOf(dialog.Grid(), dialog.ButtonBox()).row, 2);
    EXPECT_EQ(RunDialog(dialog, [&] {
                  dialog.CheckBox()->setChecked(true);
                  ButtonOf(dialog.ButtonBox(), kOk)->click();
              }),
              kOk);
    EXPECT_TRUE(dialog.IsChecked());
}

class CountdownTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        previous = SetShutdownHook([this] {
            ++powerOffs;
            return hookResult;
        });
    }
    void TearDown() override { SetShutdownHook(previous); }
    int powerOffs = 0;
    bool hookResult = true;
    ShutdownHook previous;
    QList<DialogButtonInfo> buttons = Buttons({{kCancel, "Cancel", true}, {kOk, "Shutdown", false}});
};

TEST_F(CountdownTest, PowersOffOnceAtZero)
{
    hookResult = false;   // a failed power-off leaves the dialog for the user
    CDeleteDialog dialog("Your computer will be shutdown in 60 seconds", buttons, nullptr, false, true);
    ASSERT_NE(dialog.CountdownTimer(), nullptr);
    EXPECT_TRUE(dialog.CountdownTimer()->isActive());
    EXPECT_EQ(dialog.CountdownTimer()->interval(), 1000);
    dialog.UpdataTime();
    EXPECT_EQ(dialog.MessageLabel()->text(), "Your computer will be shutdown in 59 seconds");
    for (int i = 0; i < 58; ++i)
        dialog.UpdataTime();
    EXPECT_EQ(powerOffs, 0);
    dialog.UpdataTime();
    EXPECT_EQ(powerOffs, 1);
    EXPECT_FALSE(dialog.CountdownTimer()->isActive());
    dialog.UpdataTime();
    dialog.UpdataTime();
    EXPECT_EQ(powerOffs, 1);
    EXPECT_EQ(dialog.MessageLabel()->text(), "Your computer will be shutdown in 0 seconds");
}

TEST_F(CountdownTest, EscapeOrCloseIsCancelAndStopsTheCountdown)
{
    for (int how = 0; how < 2; ++how) {
        CDeleteDialog dialog("Your computer will be shutdown in 60 seconds", buttons, nullptr, false, true);
        const int result = RunDialog(dialog, [&] {
            if (how == 0)
                QTest::keyClick(&dialog, Qt::Key_Escape);
            else
                dialog.close();
        });
        EXPECT_EQ(result, kCancel) << how;
        EXPECT_FALSE(dialog.CountdownTimer()->isActive());
    }
    EXPECT_EQ(powerOffs, 0);
}
