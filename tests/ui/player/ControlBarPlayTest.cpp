// A WAV and an MP3 played through the control bar and the player panel into
// the private sound server: progress reaches the panel, the end arrives once.
#include "../../platform/trackhold/TrackholdFixtures.h"
#include "CMToolButton.h"
#include "CPlayInfoGroup.h"
#include "CSlider.h"
#include "CToolBar.h"
#include "PlayQueue.h"
#include "PlayerTestEnv.h"

#include <QApplication>
#include <QLabel>
#include <QSignalSpy>
#include <QStackedWidget>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

namespace {

class ControlBarPlayTest : public ::testing::TestWithParam<int> {};

TEST_P(ControlBarPlayTest, PlaysThroughThePanelToOneEnd)
{
    ASSERT_TRUE(player_test::OpenTestDatabase());
    const bool mp3 = (GetParam() & SF_FORMAT_TYPEMASK) == SF_FORMAT_MPEG;
    const QString path = player_test::PrivateHome().path() + (mp3 ? "/song.mp3" : "/song.wav");
    ASSERT_TRUE(trackhold_test::WriteTone(path.toStdString(), GetParam(), 44100, 1.5));

    CToolBar bar(nullptr, nullptr, nullptr);
    std::unique_ptr<CTreeWidgetItem> row(player_test::AddSong(mp3 ? 51 : 50, "Tone", "", "00:01", path));
    std::unique_ptr<CTreeWidgetItem> other(player_test::AddSong(52, "Other", "x", "00:09", path));
    PlayQueue& queue = PlayQueue::Instance();
    queue.items = {row.get(), other.get()};
    queue.currentIndex = 0;

    QSignalSpy finished(bar.PlayInfo(), &CPlayInfoGroup::PlayFinished);
    QSignalSpy progress(bar.PlayInfo(), &CPlayInfoGroup::PlaySeekChange);
    ASSERT_EQ(bar.CreatePlay(), 0);
    EXPECT_FALSE(bar.PreviousButton()->isEnabled());
    EXPECT_TRUE(bar.NextButton()->isEnabled());
    EXPECT_EQ(bar.PlayInfo()->m_titleLabel->text(), QStringLiteral("Tone"));
    EXPECT_EQ(bar.PlayInfo()->m_artistLabel->text(), QStringLiteral("Unknown Artist"));
    EXPECT_EQ(bar.PlayInfo()->m_remainingLabel->text(), QStringLiteral("-00:01"));
    EXPECT_NEAR(static_cast<double>(bar.PlayInfo()->m_context.durationMs), 1500.0, mp3 ? 100.0 : 0.0);

    bar.Play();
    EXPECT_EQ(bar.GetPlayState(), CToolBar::Playing);
    EXPECT_EQ(bar.StatusStack()->currentIndex(), 1);
    ASSERT_TRUE(finished.wait(30000));
    QTest::qWait(300);
    EXPECT_EQ(finished.count(), 1);
    EXPECT_GE(progress.count(), 2);

    bar.StopPlay();
    EXPECT_TRUE(row->icon(CTreeWidgetItem::ColNotice).isNull());
    EXPECT_EQ(bar.PlayInfo()->m_context.fileId, -1);
    EXPECT_EQ(bar.PlayInfo()->m_playSlider->Value(), 0);
    queue.Clear();
}

INSTANTIATE_TEST_SUITE_P(Formats, ControlBarPlayTest,
                         ::testing::Values(SF_FORMAT_WAV | SF_FORMAT_PCM_16,
                                           SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III),
                         [](const ::testing::TestParamInfo<int>& info) {
                             return (info.param & SF_FORMAT_TYPEMASK) == SF_FORMAT_MPEG ? std::string("Mp3")
                                                                                       : std::string("Wav");
                         });

}  // namespace

int main(int argc, char** argv)
{
    player_test::PrivateHome();
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
