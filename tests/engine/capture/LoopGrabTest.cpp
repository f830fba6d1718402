#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>

#include "CaptureTestSupport.h"
#include "LoopGrab.h"
#include "PrivateSoundServer.h"
#include "PulseSession.h"

namespace {

// What the capture handed over. Written on the capture thread, read by the test.
struct Capture {
    std::mutex lock;
    std::condition_variable changed;
    std::vector<int> events;
    AudioParam format{};
    size_t bytes = 0;
    size_t loudBytes = 0;  // bytes of blocks that hold a sample beyond +-1000
    std::atomic<bool> stopped{false};
    std::atomic<int> lateCalls{0};

    static void Callback(int event, void* data, int size, void* user)
    {
        auto* self = static_cast<Capture*>(user);
        if (self->stopped)
            ++self->lateCalls;
        std::lock_guard<std::mutex> guard(self->lock);
        self->events.push_back(event);
        if (event == 0)
            self->format = *static_cast<AudioParam*>(data);
        if (event == 2) {
            self->bytes += static_cast<size_t>(size);
            const auto* s = static_cast<const int16_t*>(data);
            for (int i = 0; i < size / 2; ++i) {
                if (std::abs(s[i]) > 1000) {
                    self->loudBytes += static_cast<size_t>(size);
                    break;
                }
            }
        }
        self->changed.notify_all();
    }

    bool WaitFor(const std::function<bool()>& done)
    {
        std::unique_lock<std::mutex> guard(lock);
        return changed.wait_for(guard, std::chrono::seconds(10), done);
    }
};

class LoopGrabTest : public ::testing::Test {
protected:
    void TearDown() override { WAS_Reset(); }
    Capture capture;
};

TEST_F(LoopGrabTest, StartBeforeInitFails)
{
    EXPECT_NE(WAS_Start(), 0);
}

TEST_F(LoopGrabTest, FormatFirstThenTheToneThatPlays)
{
    Output48 output;
    ASSERT_TRUE(output.Ok());
    ASSERT_EQ(WAS_Init(Capture::Callback, &capture, "/tmp"), 0);
    ASSERT_EQ(WAS_Start(), 0);
    ASSERT_TRUE(capture.WaitFor([&] { return !capture.events.empty(); }));
    {
        std::lock_guard<std::mutex> guard(capture.lock);
        EXPECT_EQ(capture.events.front(), 0);
        // The output's own rate and channels, in 16-bit.
        EXPECT_EQ(capture.format.samplesPerSec, 48000);
        EXPECT_EQ(capture.format.channels, 2);
        EXPECT_EQ(capture.format.bitsPerSample, 16);
        EXPECT_EQ(capture.format.blockAlign, 4);
        EXPECT_EQ(capture.format.formatTag, 1);
    }
    Player player(Output48::kSink, 48000, 2, RenderProgram({{1.0, 440}}, 48000, 2));
    // Half a second of the tone arrives as loud blocks.
    EXPECT_TRUE(capture.WaitFor([&] { return capture.loudBytes >= 48000 * 4 / 2; }));
    player.Join();
    EXPECT_TRUE(player.Ok());
    {
        std::lock_guard<std::mutex> guard(capture.lock);
        EXPECT_EQ(std::count(capture.events.begin(), capture.events.end(), 0), 1);
    }

    EXPECT_EQ(WAS_Stop(), 0);
    capture.stopped = true;
    // A short tone after the stop reaches nobody.
    Player after(Output48::kSink, 48000, 2, RenderProgram({{0.3, 440}}, 48000, 2));
    after.Join();
    EXPECT_EQ(capture.lateCalls.load(), 0);
}

TEST_F(LoopGrabTest, SilenceKeepsComingWhileNothingPlaysOrTheOutputIsSuspended)
{
    ASSERT_EQ(WAS_Init(Capture::Callback, &capture, "/tmp"), 0);
    ASSERT_EQ(WAS_Start(), 0);
    const AudioParam* f = &capture.format;
    ASSERT_TRUE(capture.WaitFor([&] { return !capture.events.empty(); }));
    size_t second = static_cast<size_t>(f->samplesPerSec) * static_cast<size_t>(f->blockAlign);
    ASSERT_GT(second, 0u);
    EXPECT_TRUE(capture.WaitFor([&] { return capture.bytes >= second / 2; }));

    ASSERT_TRUE(ServerCommand([](PulseSession& s) { return s.SuspendSink("test_out", true); }));
    size_t before;
    {
        std::lock_guard<std::mutex> guard(capture.lock);
        before = capture.bytes;
    }
    EXPECT_TRUE(capture.WaitFor([&] { return capture.bytes >= before + second / 2; }));
    ServerCommand([](PulseSession& s) { return s.SuspendSink("test_out", false); });
    std::lock_guard<std::mutex> guard(capture.lock);
    EXPECT_EQ(capture.loudBytes, 0u);
    EXPECT_EQ(std::count(capture.events.begin(), capture.events.end(), 0), 1);
}

TEST_F(LoopGrabTest, FollowsTheDefaultOutputWhenTheUserSwitchesIt)
{
    ASSERT_EQ(WAS_Init(Capture::Callback, &capture, "/tmp"), 0);
    ASSERT_EQ(WAS_Start(), 0);
    ASSERT_TRUE(capture.WaitFor([&] { return !capture.events.empty(); }));
    AudioParam first;
    {
        std::lock_guard<std::mutex> guard(capture.lock);
        first = capture.format;
    }
    // The fixture's output runs at the server's default rate, the new one at
    // 48 kHz, so the capture only keeps its format if the server converts.
    ASSERT_NE(first.samplesPerSec, 48000);
    {
        // Like headphones plugged in: a new output that becomes the default.
        Output48 headphones;
        ASSERT_TRUE(headphones.Ok());
        Player player(Output48::kSink, 48000, 2, RenderProgram({{2.0, 440}}, 48000, 2));
        const size_t halfSecond = static_cast<size_t>(first.samplesPerSec) * static_cast<size_t>(first.blockAlign) / 2;
        EXPECT_TRUE(capture.WaitFor([&] { return capture.loudBytes >= halfSecond; }));
        player.Join();
        EXPECT_TRUE(player.Ok());
        EXPECT_EQ(WAS_Stop(), 0);
        capture.stopped = true;
    }
    std::lock_guard<std::mutex> guard(capture.lock);
    EXPECT_EQ(std::count(capture.events.begin(), capture.events.end(), 0), 1);
    EXPECT_EQ(capture.format.samplesPerSec, first.samplesPerSec);
    EXPECT_EQ(capture.format.channels, first.channels);
    EXPECT_EQ(capture.lateCalls.load(), 0);
}

// Where in the event list `event` first comes; -1 when it does not.
int FirstIndex(const std::vector<int>& events, int event)
{
    auto it = std::find(events.begin(), events.end(), event);
    return it == events.end() ? -1 : static_cast<int>(it - events.begin());
}

// A server that goes away (a crash, a restart of the sound system): event 4
// once, silence meanwhile, then, once the server is back, event 5 and the
// music again, in the format of the start.
TEST_F(LoopGrabTest, LostServerIsReportedAndCaptureComesBackWithIt)
{
    PrivateSoundServer server;
    ASSERT_TRUE(server.Ok());
    ASSERT_EQ(WAS_Init(Capture::Callback, &capture, "/tmp"), 0);
    ASSERT_EQ(WAS_Start(), 0);
    ASSERT_TRUE(capture.WaitFor([&] { return !capture.events.empty(); }));
    const AudioParam first = capture.format;
    const size_t second = static_cast<size_t>(first.samplesPerSec) * static_cast<size_t>(first.blockAlign);

    ASSERT_TRUE(server.Stop());
    ASSERT_TRUE(capture.WaitFor([&] { return FirstIndex(capture.events, 4) >= 0; }));
    size_t atLoss = 0;
    {
        std::lock_guard<std::mutex> guard(capture.lock);
        atLoss = capture.bytes;
    }
    EXPECT_TRUE(capture.WaitFor([&] { return capture.bytes >= atLoss + second / 2; })) << "silence keeps coming";

    ASSERT_TRUE(server.Start());
    ASSERT_TRUE(capture.WaitFor([&] { return FirstIndex(capture.events, 5) >= 0; }));
    size_t loudBefore = 0;
    {
        std::lock_guard<std::mutex> guard(capture.lock);
        loudBefore = capture.loudBytes;
    }
    EXPECT_EQ(loudBefore, 0u);
    Player player("test_out", 44100, 2, RenderProgram({{1.5, 440}}, 44100, 2));
    EXPECT_TRUE(capture.WaitFor([&] { return capture.loudBytes >= second / 2; })) << "the music arrives again";
    player.Join();
    EXPECT_EQ(WAS_Stop(), 0);
    capture.stopped = true;

    std::lock_guard<std::mutex> guard(capture.lock);
    EXPECT_EQ(std::count(capture.events.begin(), capture.events.end(), 0), 1) << "the format stays";
    EXPECT_EQ(std::count(capture.events.begin(), capture.events.end(), 4), 1);
    EXPECT_EQ(std::count(capture.events.begin(), capture.events.end(), 5), 1);
    EXPECT_LT(FirstIndex(capture.events, 4), FirstIndex(capture.events, 5));
    EXPECT_EQ(capture.format.samplesPerSec, first.samplesPerSec);
    EXPECT_EQ(capture.lateCalls.load(), 0);
}

// A hung server keeps its socket but sends nothing: reported after a few
// seconds, and again running as soon as it answers.
TEST_F(LoopGrabTest, HungServerIsReportedUntilItAnswersAgain)
{
    PrivateSoundServer server;
    ASSERT_TRUE(server.Ok());
    ASSERT_EQ(WAS_Init(Capture::Callback, &capture, "/tmp"), 0);
    ASSERT_EQ(WAS_Start(), 0);
    ASSERT_TRUE(capture.WaitFor([&] { return capture.bytes > 0; }));

    ASSERT_TRUE(server.Freeze());
    ASSERT_TRUE(capture.WaitFor([&] { return FirstIndex(capture.events, 4) >= 0; }));
    {
        std::lock_guard<std::mutex> guard(capture.lock);
        EXPECT_EQ(FirstIndex(capture.events, 5), -1);
    }
    ASSERT_TRUE(server.Thaw());
    ASSERT_TRUE(capture.WaitFor([&] { return FirstIndex(capture.events, 5) >= 0; }));
    EXPECT_EQ(WAS_Stop(), 0);
    capture.stopped = true;
    std::lock_guard<std::mutex> guard(capture.lock);
    EXPECT_EQ(std::count(capture.events.begin(), capture.events.end(), 4), 1);
    EXPECT_EQ(capture.lateCalls.load(), 0);
}

TEST_F(LoopGrabTest, UnreachableServerIsAnErrorNotAHang)
{
    ScopedServer nowhere("unix:/nonexistent/sonacap/native");
    EXPECT_EQ(WAS_Init(Capture::Callback, &capture, "/tmp"), -4093);
    EXPECT_NE(WAS_Start(), 0);
}

} // namespace
