// The player panel: callback table from a foreign thread, time texts, the
// slider while held, seek debounce and the library's closing order.
#include "CPlayInfoGroup.h"
#include "CSlider.h"
#include "PlayerTestEnv.h"

#include <QApplication>
#include <QLabel>
#include <QResource>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <thread>

namespace {

using player_test::Calls;
using player_test::CountCalls;
using player_test::TraceScope;

TEST(PlayerPanelTest, CallbackFromTheLibraryThreadIsQueuedByState)
{
    struct Case {
        int state;
        int finished;
        int seekChanges;
    };
    const Case cases[] = {{3, 1, 0}, {4, 1, 0}, {1, 0, 1}, {2, 0, 1}, {7, 0, 1}, {0, 0, 0}, {-1, 0, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.state);
        CPlayInfoGroup panel(nullptr);
        panel.m_context.durationMs = 60000;
        panel.m_elapsedLabel->setText(QStringLiteral("keep"));
        QSignalSpy finished(&panel, &CPlayInfoGroup::PlayFinished);
        QSignalSpy seek(&panel, &CPlayInfoGroup::PlaySeekChange);
        std::thread library([&] { CPlayInfoGroup::PlayCallback(2500, c.state, &panel.m_context); });
        library.join();
        EXPECT_EQ(panel.m_context.position.load(), 2500);
        EXPECT_EQ(panel.m_context.state.load(), c.state);
        QCoreApplication::processEvents();
        EXPECT_EQ(finished.count(), c.finished);
        EXPECT_EQ(seek.count(), c.seekChanges);
        // Only a report refreshes the labels; an end leaves them as they were.
        EXPECT_EQ(panel.m_elapsedLabel->text(), c.seekChanges ? QStringLiteral("00:15") : QStringLiteral("keep"));
    }
}

TEST(PlayerPanelTest, TimeTexts)
{
    struct Case {
        int position;
        int64_t durationMs;
        const char* elapsed;
        const char* remaining;
    };
    const Case cases[] = {
        {10000, 185000, "03:05", "-00:00"},
        {5000, 3601000, "30:00", "-30:00"},
        {10000, 3725000, "1:02:05", "-00:00"},
        {0, 0, "00:00", "-00:00"},
        {20000, 60000, "01:00", "-00:00"},  // a report past the end is held at the end
    };
    CPlayInfoGroup panel(nullptr);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.position);
        panel.m_context.durationMs = c.durationMs;
        panel.m_context.position = c.position;
        panel.ReflashPlaySlider();
        EXPECT_EQ(panel.m_elapsedLabel->text(), QString::fromLatin1(c.elapsed));
        EXPECT_EQ(panel.m_remainingLabel->text(), QString::fromLatin1(c.remaining));
    }
}

TEST(PlayerPanelTest, HeldSliderFollowsTheUserNotThePlayer)
{
    CPlayInfoGroup panel(nullptr);
    panel.m_context.durationMs = 100000;
    panel.PlaySliderPressed();
    panel.m_context.position = 4000;
    panel.ReflashPlaySlider();
    EXPECT_EQ(panel.m_playSlider->Value(), 0);
    EXPECT_EQ(panel.m_elapsedLabel->text(), QStringLiteral("00:40"));
    panel.PlaySliderReleased();
    EXPECT_TRUE(panel.SeekTimer()->isActive()) << "release keeps a pending seek";
    panel.ReflashPlaySlider();
    EXPECT_EQ(panel.m_playSlider->Value(), 4000);
}

TEST(PlayerPanelTest, ValueChangesCollapseIntoOneSeek)
{
    TraceScope trace;
    CPlayInfoGroup panel(nullptr);
    Calls().clear();
    QSignalSpy fired(panel.SeekTimer(), &QTimer::timeout);
    panel.PlaySliderMoved(1000);
    panel.PlaySliderMoved(2000);
    panel.PlaySliderMoved(3000);
    EXPECT_EQ(CountCalls("WM_SeekTo"), 0);
    ASSERT_TRUE(fired.wait(5000));
    QCoreApplication::processEvents();
    ASSERT_EQ(CountCalls("WM_SeekTo"), 1);
    EXPECT_EQ(Calls().back(), std::make_pair(std::string("WM_SeekTo"), 3000LL));
    EXPECT_EQ(panel.SeekTimer()->interval(), 200);
    EXPECT_TRUE(panel.SeekTimer()->isSingleShot());
}

// Presses on the seek slider, with the skin's pictures so the handle has its
// real size: a press on the handle seeks to where the handle stands.
TEST(PlayerPanelTest, PressingTheHandleSeeksToWhereItStands)
{
    ASSERT_TRUE(QResource::registerResource(QStringLiteral(SONACAP_TEST_OUTPUT_DIR "/skin.rcc")));
    struct Case {
        const char* what;
        int earlierClick;   // a click beside the handle first, -1 for none
        bool onHandle;      // then a press on the handle, or beside it at 80 %
        int expected;
    };
    const Case cases[] = {
        {"press on the handle", -1, true, 4000},
        {"press on the handle after a click elsewhere", 20, true, 4000},
        {"press beside the handle", -1, false, 8000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TraceScope trace;
        CPlayInfoGroup panel(nullptr);
        CSlider* slider = panel.m_playSlider;
        slider->setFixedWidth(509);   // 500 pixels of travel for the 9-pixel handle
        panel.show();
        QCoreApplication::processEvents();
        ASSERT_GT(slider->HandleWidth(), 0) << "no handle picture";
        panel.m_context.durationMs = 200000;
        panel.m_context.position = 4000;
        panel.ReflashPlaySlider();
        ASSERT_EQ(slider->Value(), 4000);
        const int y = slider->HandleHeight() / 2;
        QSignalSpy fired(panel.SeekTimer(), &QTimer::timeout);
        if (c.earlierClick >= 0) {
            // The player refuses it (no SetValue), so the handle stays put.
            QTest::mouseClick(slider, Qt::LeftButton, Qt::NoModifier, QPoint(c.earlierClick + 4, y));
            ASSERT_TRUE(fired.wait(5000));
            fired.clear();
        }
        Calls().clear();
        const QPoint at = c.onHandle ? QPoint(slider->HandleX(), y) : QPoint(4 + 400, y);
        QTest::mousePress(slider, Qt::LeftButton, Qt::NoModifier, at);
        // Held without moving: the seek goes out 200 ms after the press.
        ASSERT_TRUE(fired.wait(5000));
        QCoreApplication::processEvents();
        ASSERT_EQ(CountCalls("WM_SeekTo"), 1);
        EXPECT_EQ(Calls().back(), std::make_pair(std::string("WM_SeekTo"), static_cast<long long>(c.expected)));
        QTest::mouseRelease(slider, Qt::LeftButton, Qt::NoModifier, at);
    }
    QResource::unregisterResource(QStringLiteral(SONACAP_TEST_OUTPUT_DIR "/skin.rcc"));
}

TEST(PlayerPanelTest, ClosingOrder)
{
    TraceScope trace;
    {
        CPlayInfoGroup panel(nullptr);
    }
    std::vector<std::pair<std::string, long long>> expected = {{"WM_Create", 0}, {"WM_Destroy", 0}};
    EXPECT_EQ(Calls(), expected);

    Calls().clear();
    {
        CPlayInfoGroup panel(nullptr);
        panel.m_context.fileId = 6;
    }
    expected = {{"WM_Create", 0}, {"WM_DestroyPlay", 0}, {"WM_DeleteFile", 6}, {"WM_Destroy", 0}};
    EXPECT_EQ(Calls(), expected);
}

}  // namespace

int main(int argc, char** argv)
{
    player_test::PrivateHome();
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
