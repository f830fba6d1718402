// Real playback into the private sound server's null sink.
#include "TrackholdFixtures.h"
#include "trackhold.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

struct Report {
    int position;
    int state;
    std::thread::id thread;
};

// What the library's thread reported; the test thread waits on it.
struct Recorder {
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<Report> reports;

    static int Callback(int position, int state, void* user)
    {
        auto* self = static_cast<Recorder*>(user);
        {
            std::lock_guard<std::mutex> lock(self->mutex);
            self->reports.push_back({position, state, std::this_thread::get_id()});
        }
        self->changed.notify_all();
        return state;
    }

    // Waits (deadlock guard only, not a speed check) until pred holds.
    template <class Pred>
    bool WaitFor(Pred pred)
    {
        std::unique_lock<std::mutex> lock(mutex);
        return changed.wait_for(lock, std::chrono::seconds(30), [&] { return pred(reports); });
    }

    std::vector<Report> Snapshot()
    {
        std::lock_guard<std::mutex> lock(mutex);
        return reports;
    }
};

bool HasEnd(const std::vector<Report>& r)
{
    for (const Report& x : r)
        if (x.state == WM_STATE_ENDED || x.state == WM_STATE_FAILED)
            return true;
    return false;
}

class TrackholdPlayTest : public trackhold_test::TrackholdSession<::testing::TestWithParam<int>> {
protected:
    void SetUp() override
    {
        ASSERT_NE(std::getenv("PULSE_SERVER"), nullptr) << "needs the private sound server";
        TrackholdSession::SetUp();
    }
};

TEST_P(TrackholdPlayTest, PlaysToTheEndWithProgressAndOneEnd)
{
    const int format = GetParam();
    const std::string path = dir + ((format & SF_FORMAT_TYPEMASK) == SF_FORMAT_MPEG ? "/t.mp3" : "/t.wav");
    ASSERT_TRUE(trackhold_test::WriteTone(path, format, 44100, 1.2));
    const int id = WM_AddFile(path.c_str());
    ASSERT_GE(id, 0);

    Recorder rec;
    ASSERT_EQ(WM_CreatePlay(id, &Recorder::Callback, &rec), 0);
    int64_t ms = 0;
    WM_GetMediaDuration(id, &ms);
    EXPECT_GT(ms, 1100);
    WM_ChangeVolume(30);
    WM_Play();
    ASSERT_TRUE(rec.WaitFor(HasEnd));
    WM_DestroyPlay();
    const size_t afterDestroy = rec.Snapshot().size();
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    const std::vector<Report> reports = rec.Snapshot();
    EXPECT_EQ(reports.size(), afterDestroy) << "no callback after WM_DestroyPlay returned";
    WM_DeleteFile(id);

    int ends = 0;
    int progress = 0;
    int last = -1;
    for (const Report& r : reports) {
        EXPECT_NE(r.thread, std::this_thread::get_id()) << "reports come from the library's thread";
        EXPECT_GE(r.position, 0);
        EXPECT_LE(r.position, 10000);
        if (r.state == WM_STATE_ENDED) {
            ++ends;
            EXPECT_EQ(r.position, 10000);
        } else if (r.state == WM_STATE_PLAYING) {
            ++progress;
            EXPECT_GE(r.position, last) << "progress never goes back while playing on";
            last = r.position;
        }
    }
    EXPECT_EQ(ends, 1);
    EXPECT_GE(progress, 2) << "several reports a second";
    EXPECT_EQ(reports.back().state, WM_STATE_ENDED);
}

INSTANTIATE_TEST_SUITE_P(Formats, TrackholdPlayTest,
                         ::testing::Values(SF_FORMAT_WAV | SF_FORMAT_PCM_16,
                                           SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III),
                         [](const ::testing::TestParamInfo<int>& info) {
                             return (info.param & SF_FORMAT_TYPEMASK) == SF_FORMAT_MPEG ? std::string("Mp3")
                                                                                       : std::string("Wav");
                         });

class TrackholdControlTest : public TrackholdPlayTest {};

TEST_F(TrackholdControlTest, SeekWhilePausedThenResume)
{
    const std::string path = dir + "/s.wav";
    ASSERT_TRUE(trackhold_test::WriteTone(path, SF_FORMAT_WAV | SF_FORMAT_PCM_16, 48000, 2.0));
    const int id = WM_AddFile(path.c_str());
    ASSERT_GE(id, 0);
    Recorder rec;
    ASSERT_EQ(WM_CreatePlay(id, &Recorder::Callback, &rec), 0);

    // A new player waits paused at 0; a seek there reports the new place.
    WM_SeekTo(7500);
    ASSERT_TRUE(rec.WaitFor([](const std::vector<Report>& r) { return !r.empty(); }));
    Report first = rec.Snapshot().front();
    EXPECT_EQ(first.state, WM_STATE_PAUSED);
    EXPECT_EQ(first.position, 7500);

    WM_Play();
    ASSERT_TRUE(rec.WaitFor(HasEnd));
    const std::vector<Report> reports = rec.Snapshot();
    for (const Report& r : reports)
        EXPECT_GE(r.position, 7000) << "playing went on from the seek target";
    EXPECT_EQ(reports.back().state, WM_STATE_ENDED);

    // After the end, play alone neither replays nor reports the end again.
    WM_Play();
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_EQ(rec.Snapshot().size(), reports.size());

    WM_DestroyPlay();
    WM_DeleteFile(id);
}

TEST_F(TrackholdControlTest, DestroyWhilePlayingStopsCallbacks)
{
    const std::string path = dir + "/long.wav";
    ASSERT_TRUE(trackhold_test::WriteTone(path, SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100, 5.0));
    const int id = WM_AddFile(path.c_str());
    ASSERT_GE(id, 0);
    Recorder rec;
    ASSERT_EQ(WM_CreatePlay(id, &Recorder::Callback, &rec), 0);
    WM_Play();
    ASSERT_TRUE(rec.WaitFor([](const std::vector<Report>& r) { return !r.empty(); }));
    WM_Pause();
    WM_Play();
    WM_DestroyPlay();
    const size_t n = rec.Snapshot().size();
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(rec.Snapshot().size(), n);
    EXPECT_FALSE(HasEnd(rec.Snapshot()));
    // A new player on the same id works after the old one went away.
    Recorder rec2;
    ASSERT_EQ(WM_CreatePlay(id, &Recorder::Callback, &rec2), 0);
    WM_DestroyPlay();
    WM_DeleteFile(id);
}

}  // namespace
