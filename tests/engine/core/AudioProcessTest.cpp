#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

#include "CAudioDataManager.h"
#include "CAudioProcess.h"
#include "CError.h"
#include "CMp3File.h"
#include "CPcmsink.h"
#include "CoreTestSupport.h"
#include "EngineUtils.h"
#include "Log.h"
#include "SmallDisk.h"

using namespace coretest;

namespace {

// 8 kHz mono 16-bit: 16,000 bytes a second, 320 bytes a 20 ms clip.
const AudioParam kSmall = Format(8000, 1, 16);
constexpr unsigned kClip = 320;
// 2024-03-09 14:05:07 in the local time zone.
time_t FixedTime()
{
    struct tm t = {};
    t.tm_year = 124;
    t.tm_mon = 2;
    t.tm_mday = 9;
    t.tm_hour = 14;
    t.tm_min = 5;
    t.tm_sec = 7;
    t.tm_isdst = -1;
    return mktime(&t);
}

struct Event {
    int code = -1;
    int type = 0;
    int size = 0;
    int seconds = 0;
    bool reached20 = false;
    std::string name;
    std::string path;
    bool nullParam = false;
    uint64_t freeBytes = 0;
    AudioParam format = {};
    int reason = 0;
    int systemError = 0;
    std::string folder;
};

// Records every notification and lets the test wait for a condition on them.
class Recorder {
public:
    static void Callback(void* user, tagSonacapNotify code, void* param)
    {
        static_cast<Recorder*>(user)->Add(code, param);
    }

    void Add(tagSonacapNotify code, void* param)
    {
        Event e;
        e.code = code;
        e.nullParam = param == nullptr;
        switch (code) {
        case kSonacapNotifyProcessStart:
            e.format = *static_cast<AudioParam*>(param);
            break;
        case kSonacapNotifyAudioClip:
        case kSonacapNotifyMusicStart:
        case kSonacapNotifyMusicData: {
            const AudioClip* clip = static_cast<AudioClip*>(param);
            e.type = clip->type;
            e.size = clip->size;
            e.seconds = clip->seconds;
            e.reached20 = clip->reached20;
            e.name = clip->name;
            break;
        }
        case kSonacapNotifyMusicEnd:
            if (param)
                e.path = static_cast<const char*>(param);
            break;
        case kSonacapNotifyDiskFull:
            e.freeBytes = *static_cast<uint64_t*>(param);
            break;
        case kSonacapNotifyWriteFailed:
        case kSonacapNotifyCaptureLost: {
            const auto* failure = static_cast<const SonacapFailure*>(param);
            e.reason = failure->reason;
            e.systemError = failure->systemError;
            e.folder = failure->folder;
            e.path = failure->path ? failure->path : "";
            break;
        }
        default:
            break;
        }
        std::function<void(const Event&)> hookCopy;
        {
            std::lock_guard<std::mutex> guard(mutex);
            events.push_back(e);
            hookCopy = hook;
        }
        changed.notify_all();
        if (hookCopy)
            hookCopy(e);
    }

    std::vector<Event> Events()
    {
        std::lock_guard<std::mutex> guard(mutex);
        return events;
    }

    size_t Count(int code)
    {
        std::lock_guard<std::mutex> guard(mutex);
        size_t n = 0;
        for (const Event& e : events)
            n += e.code == code;
        return n;
    }

    // Waits for the condition; the limit only keeps a broken engine from
    // hanging the test run.
    bool WaitFor(const std::function<bool(const std::vector<Event>&)>& condition,
                 std::chrono::seconds limit = std::chrono::seconds(60))
    {
        std::unique_lock<std::mutex> guard(mutex);
        return changed.wait_for(guard, limit, [&] { return condition(events); });
    }

    bool WaitCount(int code, size_t n, std::chrono::seconds limit = std::chrono::seconds(60))
    {
        return WaitFor([&](const std::vector<Event>& list) {
            size_t c = 0;
            for (const Event& e : list)
                c += e.code == code;
            return c >= n;
        }, limit);
    }

    // Clips that went into songs: notifications 2 and 3.
    bool WaitSongClips(size_t n)
    {
        return WaitFor([&](const std::vector<Event>& list) {
            size_t c = 0;
            for (const Event& e : list)
                c += e.code == kSonacapNotifyMusicStart || e.code == kSonacapNotifyMusicData;
            return c >= n;
        });
    }

    // The last notification of that code (code -1 when there was none).
    Event Last(int code)
    {
        std::lock_guard<std::mutex> guard(mutex);
        for (auto it = events.rbegin(); it != events.rend(); ++it)
            if (it->code == code)
                return *it;
        return Event();
    }

    // The codes in order, without clip reports (1 and 3).
    std::vector<int> Steps()
    {
        std::lock_guard<std::mutex> guard(mutex);
        std::vector<int> codes;
        for (const Event& e : events)
            if (e.code != kSonacapNotifyAudioClip && e.code != kSonacapNotifyMusicData)
                codes.push_back(e.code);
        return codes;
    }

    void SetHook(std::function<void(const Event&)> h)
    {
        std::lock_guard<std::mutex> guard(mutex);
        hook = std::move(h);
    }

private:
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<Event> events;
    std::function<void(const Event&)> hook;
};

// A writer that records what it is asked to do, and can refuse to open or
// fail its writes from a given byte on with a given errno.
class FakeWriter : public IMusicFile {
public:
    explicit FakeWriter(bool failOpen = false) : failOpen(failOpen) {}
    ~FakeWriter() override { destroyed = true; }
    void Open(const char* path, const AudioParam*) override
    {
        EXPECT_FALSE(destroyed);
        if (failOpen)
            ThrowCodedError(kErrOpenFile);
        opened.push_back(path);
        open = true;
        failed = false;
    }
    bool WriteData(const void*, unsigned size) override
    {
        EXPECT_FALSE(destroyed);
        EXPECT_TRUE(open);
        if (failed || bytes + size > failAfterBytes) {
            failed = true;
            ++refusedWrites;
            return false;
        }
        bytes += size;
        return true;
    }
    bool WriteTags(const char*, const char*, const char*) override { return false; }
    bool Close() override
    {
        EXPECT_FALSE(destroyed);
        open = false;
        ++closes;
        return !failed;
    }
    int WriteError() const override { return failed ? failErrno : 0; }
    std::string ClosedPath() const override { return opened.empty() ? std::string() : opened.back(); }

    bool failOpen;
    size_t failAfterBytes = SIZE_MAX;
    int failErrno = ENOSPC;
    bool failed = false;
    int refusedWrites = 0;
    bool destroyed = false;
    bool open = false;
    std::vector<std::string> opened;
    size_t bytes = 0;
    int closes = 0;
};

std::vector<unsigned char> Music(const AudioParam& f, unsigned ms)
{
    return Tone(f, ms, 440, 0.3);
}

std::vector<unsigned char> Silence(const AudioParam& f, unsigned ms)
{
    return Tone(f, ms, 440, 0.0);
}

std::vector<unsigned char> Join(std::initializer_list<std::vector<unsigned char>> parts)
{
    std::vector<unsigned char> all;
    for (const auto& p : parts)
        all.insert(all.end(), p.begin(), p.end());
    return all;
}

std::vector<std::string> SongPaths(const std::vector<Event>& events)
{
    std::vector<std::string> paths;
    for (const Event& e : events)
        if (e.code == kSonacapNotifyMusicStart)
            paths.push_back(e.name);
    return paths;
}

// The processing thread fed straight through its block queue.
class ProcessTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        process.SetCallback(&Recorder::Callback, &recorder);
        process.SetOutputFolder(dir.Path().c_str());
        process.SetMusicFile(&wav, "wav");
        process.SetMinimum(0);
        process.SetClock(FixedTime);
        process.SetDiskFreeFunction([this](const std::string&) { return freeBytes.load(); });
    }

    void TearDown() override { process.Terminate(); }

    // Starts the thread on `format` and switches it to recording.
    void Begin(const AudioParam& format, int state = 2)
    {
        queue.SetAudioParam(&format);
        process.Restart();
        ASSERT_TRUE(recorder.WaitCount(kSonacapNotifyProcessStart, 1));
        process.SetState(state);
    }

    void Push(const std::vector<unsigned char>& pcm) { queue.PushData(pcm.data(), static_cast<unsigned>(pcm.size())); }

    // Stop: the open song ends at the thread's next clip.
    void StopAndWaitEnd(size_t ends)
    {
        process.SetState(1);
        ASSERT_TRUE(recorder.WaitCount(kSonacapNotifyMusicEnd, ends));
    }

    TempDir dir;
    Recorder recorder;
    CPcmsink wav;
    std::atomic<uint64_t> freeBytes{uint64_t(1) << 40};
    CAudioDataManager queue;
    CAudioProcess process{&queue};
};

}  // namespace

struct ClassCase {
    const char* label;
    int bits;
    std::function<std::vector<unsigned char>()> clip;
    int expected;
};

void PrintTo(const ClassCase& c, std::ostream* os) { *os << c.label; }

std::vector<unsigned char> Int16Clip(std::initializer_list<std::pair<int, int16_t>> set)
{
    std::vector<int16_t> s(kClip / 2, 0);
    for (auto& p : set)
        s[static_cast<size_t>(p.first)] = p.second;
    std::vector<unsigned char> out(kClip);
    std::memcpy(out.data(), s.data(), kClip);
    return out;
}

std::vector<unsigned char> FloatClip(float first)
{
    std::vector<float> s(160, 0.0f);
    s[0] = first;
    std::vector<unsigned char> out(s.size() * 4);
    std::memcpy(out.data(), s.data(), out.size());
    return out;
}

class Classifier : public ProcessTest, public ::testing::WithParamInterface<ClassCase> {};

// Idle clips (state 1) come back with the type the classifier gave them.
TEST_P(Classifier, Table)
{
    const ClassCase& c = GetParam();
    const AudioParam format = Format(8000, 1, c.bits);
    Begin(format, 1);
    Push(c.clip());
    ASSERT_TRUE(recorder.WaitCount(kSonacapNotifyAudioClip, 1));
    const Event e = recorder.Events().back();
    EXPECT_EQ(e.type, c.expected) << c.label;
    EXPECT_TRUE(ListFolder(dir.Path()).empty()) << "state 1 never writes a song";
}

INSTANTIATE_TEST_SUITE_P(
    Bounds, Classifier,
    ::testing::Values(ClassCase{"zeros", 16, [] { return Int16Clip({}); }, 1},
                      ClassCase{"first plus 10", 16, [] { return Int16Clip({{0, 10}}); }, 1},
                      ClassCase{"first minus 10", 16, [] { return Int16Clip({{0, -10}}); }, 1},
                      ClassCase{"first plus 11", 16, [] { return Int16Clip({{0, 11}}); }, 3},
                      ClassCase{"first minus 11", 16, [] { return Int16Clip({{0, -11}}); }, 3},
                      ClassCase{"16th loud", 16, [] { return Int16Clip({{15, 20000}}); }, 3},
                      ClassCase{"17th loud", 16, [] { return Int16Clip({{16, 32767}, {100, -32768}}); }, 1},
                      ClassCase{"float 0.001", 32, [] { return FloatClip(0.001f); }, 1},
                      ClassCase{"float minus 0.001", 32, [] { return FloatClip(-0.001f); }, 1},
                      ClassCase{"float 0.0011", 32, [] { return FloatClip(0.0011f); }, 3},
                      ClassCase{"float minus 0.0011", 32, [] { return FloatClip(-0.0011f); }, 3},
                      ClassCase{"8-bit silence", 8, [] { return std::vector<unsigned char>(160, 128); }, 3},
                      ClassCase{"24-bit zeros", 24, [] { return std::vector<unsigned char>(480, 0); }, 3}),
    [](const ::testing::TestParamInfo<ClassCase>& info) { return NamePart(info.param.label); });

struct SplitCase {
    unsigned silentClips;
    size_t songs;
};

void PrintTo(const SplitCase& c, std::ostream* os) { *os << c.silentClips << " silent clips"; }

class SilenceSplit : public ProcessTest, public ::testing::WithParamInterface<SplitCase> {};

// Ten silent clips (200 ms) end a song and stay in it; nine do not.
TEST_P(SilenceSplit, AtTheLimit)
{
    const SplitCase c = GetParam();
    const auto first = Music(kSmall, 1000);
    const auto gap = Silence(kSmall, 20 * c.silentClips);
    const auto second = Music(kSmall, 1000);
    Begin(kSmall);
    Push(Join({first, gap, second}));
    ASSERT_TRUE(recorder.WaitSongClips(50 + c.silentClips + 50));
    StopAndWaitEnd(c.songs);

    const auto events = recorder.Events();
    const auto paths = SongPaths(events);
    ASSERT_EQ(paths.size(), c.songs);
    if (c.songs == 1) {
        EXPECT_TRUE(WavData(paths[0]) == Join({first, gap, second}));
    } else {
        EXPECT_TRUE(WavData(paths[0]) == Join({first, gap}));
        EXPECT_TRUE(WavData(paths[1]) == second);
        EXPECT_NE(paths[0], paths[1]);
    }
    // Every end carries the path of the song that ended.
    std::vector<std::string> ends;
    for (const Event& e : events)
        if (e.code == kSonacapNotifyMusicEnd)
            ends.push_back(e.path);
    EXPECT_EQ(ends, paths);
}

INSTANTIATE_TEST_SUITE_P(Limit, SilenceSplit, ::testing::Values(SplitCase{9, 1}, SplitCase{10, 2}),
                         [](const ::testing::TestParamInfo<SplitCase>& info) {
                             return "silent_clips_" + std::to_string(info.param.silentClips);
                         });

struct MinimumCase {
    unsigned ms;
    bool kept;
};

void PrintTo(const MinimumCase& c, std::ostream* os) { *os << c.ms << " ms"; }

class MinimumLength : public ProcessTest, public ::testing::WithParamInterface<MinimumCase> {};

TEST_P(MinimumLength, ShortSongsAreDeleted)
{
    const MinimumCase c = GetParam();
    process.SetMinimum(3000);
    Begin(kSmall);
    // One push, so the last (short) clip is taken whole: 2,999 ms ends in a 19 ms clip.
    Push(Music(kSmall, c.ms));
    ASSERT_TRUE(recorder.WaitSongClips((c.ms + 19) / 20));
    StopAndWaitEnd(1);
    const auto events = recorder.Events();
    const std::string path = SongPaths(events).at(0);
    EXPECT_EQ(FileExists(path), c.kept);
    const Event end = events.back();
    ASSERT_EQ(end.code, kSonacapNotifyMusicEnd);
    EXPECT_EQ(end.nullParam, !c.kept);
    if (c.kept) {
        EXPECT_EQ(end.path, path);
    }
}

INSTANTIATE_TEST_SUITE_P(Edge, MinimumLength, ::testing::Values(MinimumCase{2999, false}, MinimumCase{3000, true}),
                         [](const ::testing::TestParamInfo<MinimumCase>& info) {
                             return "ms_" + std::to_string(info.param.ms);
                         });

TEST_F(ProcessTest, NotificationsInOrderWithSecondsAndName)
{
    Begin(kSmall);
    Push(Join({Silence(kSmall, 100), Music(kSmall, 21000)}));
    ASSERT_TRUE(recorder.WaitSongClips(1050));
    StopAndWaitEnd(1);
    const auto events = recorder.Events();
    ASSERT_GE(events.size(), 3u);
    EXPECT_EQ(events[0].code, kSonacapNotifyProcessStart);
    EXPECT_EQ(events[0].format.samplesPerSec, 8000);
    // Silence before the song is neither a song nor reported in state 2.
    EXPECT_EQ(events[1].code, kSonacapNotifyMusicStart);
    EXPECT_EQ(events[1].name, dir.Folder() + "2024_03_09_14_05_07.wav");
    EXPECT_EQ(events[1].size, static_cast<int>(kClip));
    EXPECT_EQ(events[1].type, 3);
    int reached = 0;
    for (size_t i = 2; i + 1 < events.size(); ++i) {
        ASSERT_EQ(events[i].code, kSonacapNotifyMusicData);
        EXPECT_EQ(events[i].seconds, static_cast<int>((i) * 20 / 1000));
        reached += events[i].reached20;
        EXPECT_EQ(events[i].reached20, events[i].seconds == 20);
    }
    EXPECT_EQ(reached, 50);
    EXPECT_EQ(events.back().code, kSonacapNotifyMusicEnd);
    EXPECT_EQ(events.back().path, events[1].name);
}

TEST_F(ProcessTest, StopWithNoSongProducesNothing)
{
    Begin(kSmall);
    Push(Silence(kSmall, 200));
    process.SetState(1);
    Push(Music(kSmall, 40));
    ASSERT_TRUE(recorder.WaitCount(kSonacapNotifyAudioClip, 2));
    EXPECT_EQ(recorder.Count(kSonacapNotifyMusicEnd), 0u);
    EXPECT_TRUE(ListFolder(dir.Path()).empty());
}

TEST_F(ProcessTest, TerminateFinishesTheOpenSong)
{
    Begin(kSmall);
    Push(Music(kSmall, 500));
    ASSERT_TRUE(recorder.WaitSongClips(25));
    process.Terminate();  // as Reset does
    const auto events = recorder.Events();
    ASSERT_EQ(events.back().code, kSonacapNotifyMusicEnd);
    EXPECT_EQ(events.back().path, SongPaths(events).at(0));
    EXPECT_EQ(WavData(events.back().path).size(), 500u * 16);
}

TEST_F(ProcessTest, TerminateBeforeAnyFormat)
{
    process.Restart();
    process.Terminate();
    const auto events = recorder.Events();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].code, kSonacapNotifyProcessStart);
    EXPECT_EQ(events[0].format.samplesPerSec, 0);
}

// The thread naps on an empty queue, here for longer than the test may
// take. A capture's first block and Record wake it: the song a user pressed
// Record for opens with the clip already queued, or with the next one when
// the queue was just emptied. Other blocks do not (a wake-up per server
// block would cost the idle program its processor).
TEST_F(ProcessTest, CaptureStartAndRecordWakeTheThread)
{
    constexpr std::chrono::seconds kWithin(10);
    // The thread has handled what came and naps.
    auto napping = [] { std::this_thread::sleep_for(std::chrono::milliseconds(300)); };
    process.SetIdleWait(std::chrono::minutes(10));
    Begin(kSmall, 1);
    Push(Music(kSmall, 100));
    ASSERT_TRUE(recorder.WaitCount(kSonacapNotifyAudioClip, 5, kWithin)) << "the capture's first block waited";
    napping();
    Push(Music(kSmall, 100));
    napping();
    ASSERT_EQ(recorder.Count(kSonacapNotifyAudioClip), 5u) << "a block that is not the first woke the thread";
    process.SetState(2);
    ASSERT_TRUE(recorder.WaitCount(kSonacapNotifyMusicStart, 1, kWithin)) << "Record did not wake the thread";

    // A new capture (as the engine sets one up again); Record comes while
    // its queue is empty, the music right after.
    process.Terminate();
    queue.Clear();
    queue.SetAudioParam(&kSmall);
    process.Restart();
    ASSERT_TRUE(recorder.WaitCount(kSonacapNotifyProcessStart, 2));
    napping();
    Push(Silence(kSmall, 40));
    ASSERT_TRUE(recorder.WaitCount(kSonacapNotifyAudioClip, 7, kWithin)) << "the new capture's first block waited";
    napping();
    process.SetState(2);
    napping();
    Push(Music(kSmall, 40));
    ASSERT_TRUE(recorder.WaitCount(kSonacapNotifyMusicStart, 2, kWithin))
        << "the block after Record waited for the nap to end";
}

// A format that cannot fill one byte a second is reported and then ignored,
// never divided by.
TEST_F(ProcessTest, FormatTooThinToTimeIsIgnored)
{
    Begin(Format(1, 1, 4));
    Push(std::vector<unsigned char>(64, 0x55));
    process.Terminate();
    const auto events = recorder.Events();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].code, kSonacapNotifyProcessStart);
}

struct DiskCase {
    uint64_t free;
    bool recorded;
};

void PrintTo(const DiskCase& c, std::ostream* os) { *os << c.free << " bytes free"; }

class DiskSpace : public ProcessTest, public ::testing::WithParamInterface<DiskCase> {};

TEST_P(DiskSpace, FiftyMebibytes)
{
    freeBytes = GetParam().free;
    Begin(kSmall);
    Push(Music(kSmall, 100));
    if (GetParam().recorded) {
        ASSERT_TRUE(recorder.WaitSongClips(5));
        EXPECT_EQ(ListFolder(dir.Path()).size(), 1u);
        return;
    }
    ASSERT_TRUE(recorder.WaitCount(kSonacapNotifyDiskFull, 1));
    for (const Event& e : recorder.Events()) {
        if (e.code == kSonacapNotifyDiskFull) {
            EXPECT_EQ(e.freeBytes, GetParam().free);
        }
    }
    EXPECT_EQ(process.GetState(), 1);
    // Recording does not resume by itself: later music is only reported.
    Push(Music(kSmall, 20));
    ASSERT_TRUE(recorder.WaitCount(kSonacapNotifyAudioClip, 1));
    EXPECT_TRUE(ListFolder(dir.Path()).empty());
    EXPECT_EQ(recorder.Count(kSonacapNotifyMusicStart), 0u);
}

INSTANTIATE_TEST_SUITE_P(Edge, DiskSpace,
                         ::testing::Values(DiskCase{49ull << 20, false}, DiskCase{(50ull << 20) - 1, false},
                                           DiskCase{50ull << 20, true}),
                         [](const ::testing::TestParamInfo<DiskCase>& info) {
                             return "free_" + std::to_string(info.param.free);
                         });

// Two songs of the same second never share a file, so deleting the second
// (too short) one leaves the first intact.
TEST_F(ProcessTest, SameSecondSongsGetDistinctNames)
{
    process.SetMinimum(1000);
    const auto song = Music(kSmall, 1500);
    const auto gap = Silence(kSmall, 200);
    const auto blip = Music(kSmall, 200);
    Begin(kSmall);
    Push(Join({song, gap, blip, gap}));
    ASSERT_TRUE(recorder.WaitCount(kSonacapNotifyMusicEnd, 2));
    const auto events = recorder.Events();
    const auto paths = SongPaths(events);
    ASSERT_EQ(paths.size(), 2u);
    EXPECT_EQ(paths[0], dir.Folder() + "2024_03_09_14_05_07.wav");
    EXPECT_EQ(paths[1], dir.Folder() + "2024_03_09_14_05_07 1.wav");
    EXPECT_TRUE(WavData(paths[0]) == Join({song, gap}));
    EXPECT_FALSE(FileExists(paths[1]));
}

TEST_F(ProcessTest, ExistingFileIsNeverOverwritten)
{
    const std::string taken = dir.Folder() + "2024_03_09_14_05_07.wav";
    FILE* f = fopen(taken.c_str(), "w");
    ASSERT_NE(f, nullptr);
    fputs("keep", f);
    fclose(f);
    Begin(kSmall);
    Push(Music(kSmall, 100));
    ASSERT_TRUE(recorder.WaitSongClips(5));
    EXPECT_EQ(SongPaths(recorder.Events()).at(0), dir.Folder() + "2024_03_09_14_05_07 1.wav");
    const auto kept = ReadFile(taken);
    EXPECT_EQ(std::string(kept.begin(), kept.end()), "keep");
}

// Paths beyond the old 512-byte name buffer work; a path the system refuses
// is handled like an output folder that cannot be written.
TEST_F(ProcessTest, LongPaths)
{
    std::string folder = dir.Path();
    for (int i = 0; i < 4; ++i) {
        folder += "/" + std::string(200, static_cast<char>('a' + i));
        ASSERT_EQ(mkdir(folder.c_str(), 0700), 0);
    }
    process.SetOutputFolder(folder.c_str());
    Begin(kSmall);
    Push(Music(kSmall, 100));
    ASSERT_TRUE(recorder.WaitSongClips(5));
    StopAndWaitEnd(1);
    const std::string path = SongPaths(recorder.Events()).at(0);
    EXPECT_GT(path.size(), 800u);
    EXPECT_EQ(path, folder + "/2024_03_09_14_05_07.wav");
    EXPECT_EQ(recorder.Events().back().path, path);
    EXPECT_EQ(WavData(path).size(), 100u * 16);
}

struct OpenFailureCase {
    const char* label;
    std::function<std::string(const std::string& tempFolder)> folder;
    bool writerFails;
    int reason;
};

void PrintTo(const OpenFailureCase& c, std::ostream* os) { *os << c.label; }

class OpenFailure : public ProcessTest, public ::testing::WithParamInterface<OpenFailureCase> {};

// No song can be opened: ERROR, state 1, notification 7 with the reason and
// the folder (not a full disk, 6), no 2 or 4, and the thread keeps serving
// Stop, Start and Terminate.
TEST_P(OpenFailure, ReportedAndRecoverable)
{
    const OpenFailureCase& c = GetParam();
    FakeWriter failing(true);
    if (c.writerFails)
        process.SetMusicFile(&failing, "wav");
    const std::string folder = c.folder(dir.Path());
    process.SetOutputFolder(folder.c_str());
    Begin(kSmall);
    Push(Music(kSmall, 100));
    ASSERT_TRUE(recorder.WaitCount(kSonacapNotifyWriteFailed, 1));
    const Event failure = recorder.Last(kSonacapNotifyWriteFailed);
    EXPECT_EQ(failure.reason, c.reason);
    EXPECT_EQ(failure.folder, folder + "/");
    EXPECT_TRUE(failure.nullParam == false && failure.path.empty()) << "no song was kept";
    EXPECT_EQ(recorder.Count(kSonacapNotifyDiskFull), 0u);
    EXPECT_EQ(process.GetState(), 1);
    EXPECT_EQ(recorder.Count(kSonacapNotifyMusicStart), 0u);
    EXPECT_EQ(recorder.Count(kSonacapNotifyMusicEnd), 0u);
    EXPECT_TRUE(ListFolder(dir.Path()).empty()) << "no placeholder is left behind";

    // The thread is alive and its lock free: it records again once it can.
    process.SetMusicFile(&wav, "wav");
    process.SetOutputFolder(dir.Path().c_str());
    process.SetState(2);
    Push(Music(kSmall, 100));
    ASSERT_TRUE(recorder.WaitSongClips(5));
    StopAndWaitEnd(1);
    process.Terminate();
}

INSTANTIATE_TEST_SUITE_P(
    Cases, OpenFailure,
    ::testing::Values(OpenFailureCase{"vanished folder", [](const std::string& t) { return t + "/gone"; }, false,
                                      kSonacapReasonFolderNotWritable},
                      OpenFailureCase{"writer refuses", [](const std::string& t) { return t; }, true,
                                      kSonacapReasonWriteError},
                      OpenFailureCase{"path too long",
                                      [](const std::string& t) { return t + "/" + std::string(5000, 'x'); }, false,
                                      kSonacapReasonFolderNotWritable}),
    [](const ::testing::TestParamInfo<OpenFailureCase>& info) { return NamePart(info.param.label); });

TEST_F(ProcessTest, UnsupportedWavDepthIsAnOpenFailure)
{
    Begin(Format(8000, 1, 12));
    Push(std::vector<unsigned char>(240, 0x55));
    ASSERT_TRUE(recorder.WaitCount(kSonacapNotifyWriteFailed, 1));
    EXPECT_TRUE(ListFolder(dir.Path()).empty());
}

// Start right after Stop, before the thread's next clip: the writer in use is
// swapped only after its song was finished and reported, so the caller may
// delete it at once. Done from the callback, where the timing is exact (and
// the recursive processing lock is already held).
TEST_F(ProcessTest, WriterSwapAfterStopFinishesTheSongFirst)
{
    auto first = std::make_unique<FakeWriter>();
    FakeWriter second;
    process.SetMusicFile(first.get(), "wav");
    FakeWriter* firstRaw = first.get();
    bool swapped = false;
    size_t endsSeenAtSwap = 0;
    recorder.SetHook([&](const Event& e) {
        if (e.code == kSonacapNotifyMusicData && e.seconds == 0 && !swapped && recorder.Count(kSonacapNotifyMusicData) == 10) {
            swapped = true;
            process.SetState(1);                    // Stop
            process.SetMusicFile(&second, "mp3");   // Start
            endsSeenAtSwap = recorder.Count(kSonacapNotifyMusicEnd);
            EXPECT_EQ(firstRaw->closes, 1);
            EXPECT_FALSE(firstRaw->open);
            first.reset();
            process.SetState(2);
        }
    });
    Begin(kSmall);
    Push(Music(kSmall, 400));
    ASSERT_TRUE(recorder.WaitCount(kSonacapNotifyMusicEnd, 1));
    ASSERT_TRUE(recorder.WaitSongClips(20));
    process.SetState(1);
    ASSERT_TRUE(recorder.WaitCount(kSonacapNotifyMusicEnd, 2));
    EXPECT_TRUE(swapped);
    EXPECT_EQ(endsSeenAtSwap, 1u);
    ASSERT_EQ(second.opened.size(), 1u);
    EXPECT_EQ(second.opened[0].substr(second.opened[0].size() - 4), ".mp3");
    EXPECT_EQ(second.closes, 1);
    recorder.SetHook(nullptr);
}

// While paused, clips are reported but not written; the first clip of a
// song is written even so.
TEST_F(ProcessTest, PauseReportsWithoutWriting)
{
    Begin(kSmall);
    process.SetPause(true);
    Push(Music(kSmall, 200));
    ASSERT_TRUE(recorder.WaitSongClips(10));
    StopAndWaitEnd(1);
    EXPECT_EQ(WavData(recorder.Events().back().path).size(), kClip);
}

// The selected rate differs from the captured one: the song is written at the
// selected rate by one continuous resampler, with no seam at clip edges.
TEST_F(ProcessTest, RateConversionIsContinuous)
{
    const AudioParam captured = Format(48000, 2, 16);
    process.SetSelectedParam(Format(44100, 2, 16));
    Begin(captured);
    Push(Tone(captured, 2000, 1000, 0.5));
    ASSERT_TRUE(recorder.WaitSongClips(100));
    StopAndWaitEnd(1);
    int rate = 0;
    const auto data = WavData(recorder.Events().back().path, &rate);
    EXPECT_EQ(rate, 44100);
    const size_t frames = data.size() / 4;
    EXPECT_NEAR(static_cast<double>(frames), 88200.0, 2.0);
    // A 1 kHz tone at half scale moves at most 2*pi*1000/44100*16384 ~ 2335 per
    // frame; a dropped or repeated frame at a clip edge would jump further.
    std::vector<int16_t> s(data.size() / 2);
    std::memcpy(s.data(), data.data(), s.size() * 2);
    int worst = 0;
    for (size_t i = 2; i < s.size(); i += 2)
        worst = std::max(worst, std::abs(s[i] - s[i - 2]));
    EXPECT_LT(worst, 2400);
    EXPECT_GT(worst, 2000);
}

// Only 16-bit input is converted; other depths keep their true rate.
TEST_F(ProcessTest, RateConversionOnlyFor16Bit)
{
    const AudioParam captured = Format(48000, 2, 24);
    process.SetSelectedParam(Format(44100, 2, 16));
    Begin(captured);
    const auto pcm = Tone(captured, 500, 1000, 0.5);
    Push(pcm);
    ASSERT_TRUE(recorder.WaitSongClips(25));
    StopAndWaitEnd(1);
    int rate = 0;
    EXPECT_TRUE(WavData(recorder.Events().back().path, &rate) == pcm);
    EXPECT_EQ(rate, 48000);
}

// The callback may call back into the engine on the processing thread.
TEST_F(ProcessTest, CallbackMayReenter)
{
    recorder.SetHook([&](const Event& e) {
        if (e.code == kSonacapNotifyMusicStart) {
            EXPECT_EQ(process.GetState(), 2);
        }
    });
    Begin(kSmall);
    Push(Music(kSmall, 100));
    ASSERT_TRUE(recorder.WaitSongClips(5));
    recorder.SetHook(nullptr);
}

// Ending the thread from its own callback neither deadlocks nor loses the song.
TEST_F(ProcessTest, TerminateFromTheCallback)
{
    recorder.SetHook([&](const Event& e) {
        if (e.code == kSonacapNotifyMusicStart)
            process.Terminate();
    });
    Begin(kSmall);
    Push(Music(kSmall, 100));
    ASSERT_TRUE(recorder.WaitCount(kSonacapNotifyMusicEnd, 1));
    process.Terminate();
    recorder.SetHook(nullptr);
    const auto events = recorder.Events();
    EXPECT_EQ(events.back().path, SongPaths(events).at(0));
}

// A six-channel capture through the whole path: a stereo MP3 at the song's path.
TEST_F(ProcessTest, SixChannelSongBecomesStereoMp3)
{
    CMp3File mp3;
    mp3.SetRatio(192);
    process.SetMusicFile(&mp3, "mp3");
    const AudioParam six = Format(48000, 6, 16);
    Begin(six);
    Push(Tone(six, 1000, 440, 0.4));
    ASSERT_TRUE(recorder.WaitSongClips(50));
    StopAndWaitEnd(1);
    const std::string path = recorder.Events().back().path;
    EXPECT_EQ(path, dir.Folder() + "2024_03_09_14_05_07.mp3");
    EXPECT_EQ(ListFolder(dir.Path()), std::vector<std::string>{"2024_03_09_14_05_07.mp3"});
    const ProbeResult probe = Probe(path);
    EXPECT_EQ(probe.codec, "mp3");
    EXPECT_EQ(probe.channels, 2);
    EXPECT_NEAR(probe.duration, 1.0, 0.1);
    process.Terminate();
    process.SetMusicFile(nullptr, "dat");
}

// ---------------------------------------------------------------- songs cut short

struct WriteFailureCase {
    const char* label;
    int error;
    unsigned minimumMs;
    int reason;
    bool kept;
};

void PrintTo(const WriteFailureCase& c, std::ostream* os) { *os << c.label; }

class WriteFailure : public ProcessTest, public ::testing::WithParamInterface<WriteFailureCase> {};

// At the first failed write the song ends with what was written: code 4 (its
// path, or null below the minimum), then code 7 with the reason, the folder
// and the kept path; recording stops, and music arriving later is not
// written into that song (no hole) nor into a new one.
TEST_P(WriteFailure, EndsTheSongAndStopsRecording)
{
    const WriteFailureCase& c = GetParam();
    FakeWriter writer;
    writer.failAfterBytes = 50 * kClip;  // one second
    writer.failErrno = c.error;
    process.SetMusicFile(&writer, "wav");
    process.SetMinimum(c.minimumMs);
    Begin(kSmall);
    Push(Music(kSmall, 2000));
    ASSERT_TRUE(recorder.WaitCount(kSonacapNotifyWriteFailed, 1));
    Push(Music(kSmall, 1000));
    process.Terminate();

    EXPECT_EQ(recorder.Steps(), (std::vector<int>{kSonacapNotifyProcessStart, kSonacapNotifyMusicStart,
                                                  kSonacapNotifyMusicEnd, kSonacapNotifyWriteFailed}));
    const std::string song = SongPaths(recorder.Events()).at(0);
    const Event end = recorder.Last(kSonacapNotifyMusicEnd);
    const Event failure = recorder.Last(kSonacapNotifyWriteFailed);
    EXPECT_EQ(end.nullParam, !c.kept);
    EXPECT_EQ(end.path, c.kept ? song : "");
    EXPECT_EQ(FileExists(song), c.kept);
    EXPECT_EQ(failure.reason, c.reason);
    EXPECT_EQ(failure.systemError, c.error);
    EXPECT_EQ(failure.folder, dir.Folder());
    EXPECT_EQ(failure.path, end.path);
    EXPECT_EQ(process.GetState(), 1);
    EXPECT_EQ(writer.bytes, 50u * kClip);
    EXPECT_EQ(writer.refusedWrites, 1) << "nothing is written after the failure";
    EXPECT_EQ(writer.closes, 1);
    EXPECT_EQ(writer.opened.size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(
    Errors, WriteFailure,
    ::testing::Values(WriteFailureCase{"disk full", ENOSPC, 0, kSonacapReasonDiskFull, true},
                      WriteFailureCase{"quota", EDQUOT, 0, kSonacapReasonDiskFull, true},
                      WriteFailureCase{"read only", EROFS, 0, kSonacapReasonFolderNotWritable, true},
                      WriteFailureCase{"io error", EIO, 0, kSonacapReasonWriteError, true},
                      WriteFailureCase{"below the minimum", ENOSPC, 3000, kSonacapReasonDiskFull, false}),
    [](const ::testing::TestParamInfo<WriteFailureCase>& info) { return NamePart(info.param.label); });

// How the disk fills up: a real small disk (a tmpfs, which needs root to
// mount), or a limit on the size of every file the process writes (EFBIG
// then, as a quota's EDQUOT or a full disk's ENOSPC), which needs nothing.
enum class DiskFault { SmallDisk, FileSizeLimit };

struct FullDiskCase {
    const char* label;
    AudioParam format;
    bool mp3;
    DiskFault fault;
    // A six-channel song is mixed down after the fault: onto a full disk the
    // mix-down cannot be written and the song stays WAV.
    const char* keptExtension;
};

void PrintTo(const FullDiskCase& c, std::ostream* os) { *os << c.label; }

class DiskFills : public ProcessTest, public ::testing::WithParamInterface<FullDiskCase> {};

// A disk that fills mid-song: the song is kept as a file that plays (its
// header or frames tell the truth about what reached the disk; an MP3 decodes
// to its end without an error and ends on a whole frame, also when a write
// got only part of its bytes on the disk), it is the one file there, and
// recording stopped. A six-channel MP3 whose mix-down cannot be written
// either is kept as WAV under a ".wav" name.
TEST_P(DiskFills, KeepsAPlayableSongAndStops)
{
    const FullDiskCase& c = GetParam();
    constexpr uint64_t kRoom = 768 * 1024;
    std::unique_ptr<SmallDisk> disk;
    std::string folder = dir.Path();
    if (c.fault == DiskFault::SmallDisk) {
        disk = std::make_unique<SmallDisk>(kRoom);
        if (!disk->Mounted())
            GTEST_SKIP() << disk->Why();
        folder = disk->Path();
    }
    // The start check passes; only the writes can fail.
    process.SetDiskFreeFunction([](const std::string& f) { return GetDiskFreeBytes(f) + (64u << 20); });
    process.SetOutputFolder(folder.c_str());
    CMp3File mp3;
    mp3.SetRatio(320);
    if (c.mp3)
        process.SetMusicFile(&mp3, "mp3");
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    if (c.fault == DiskFault::FileSizeLimit) {
        // A write past the limit fails instead of raising SIGXFSZ.
        signal(SIGXFSZ, SIG_IGN);
        rlimit limit = saved;
        limit.rlim_cur = kRoom;
        ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limit), 0);
    }
    Begin(c.format);
    double phase = 0;
    for (int second = 0; second < 120 && recorder.Count(kSonacapNotifyWriteFailed) == 0; ++second) {
        Push(Tone(c.format, 1000, 440, 0.5, &phase));
        recorder.WaitFor([&](const std::vector<Event>& list) {
            size_t clips = 0;
            for (const Event& e : list)
                clips += e.code == kSonacapNotifyMusicData || e.code == kSonacapNotifyWriteFailed;
            return clips >= static_cast<size_t>(second + 1) * 49 ||
                   std::any_of(list.begin(), list.end(), [](const Event& e) { return e.code == kSonacapNotifyWriteFailed; });
        });
    }
    ASSERT_TRUE(recorder.WaitCount(kSonacapNotifyWriteFailed, 1));
    Push(Tone(c.format, 1000, 440, 0.5, &phase));
    process.Terminate();
    process.SetMusicFile(nullptr, "dat");
    setrlimit(RLIMIT_FSIZE, &saved);
    signal(SIGXFSZ, SIG_DFL);

    EXPECT_EQ(recorder.Steps(), (std::vector<int>{kSonacapNotifyProcessStart, kSonacapNotifyMusicStart,
                                                  kSonacapNotifyMusicEnd, kSonacapNotifyWriteFailed}));
    const Event end = recorder.Last(kSonacapNotifyMusicEnd);
    const Event failure = recorder.Last(kSonacapNotifyWriteFailed);
    EXPECT_EQ(failure.reason, kSonacapReasonDiskFull);
    EXPECT_EQ(failure.folder, folder + "/");
    EXPECT_EQ(failure.path, end.path);
    ASSERT_FALSE(end.path.empty());
    const std::string name = end.path.substr(folder.size() + 1);
    EXPECT_EQ(ListFolder(folder), std::vector<std::string>{name}) << "one song, no leftovers";
    EXPECT_EQ(name.substr(name.size() - 4), c.keptExtension);

    const ProbeResult probe = Probe(end.path);
    EXPECT_EQ(probe.channels, c.format.channels > 2 && !std::strcmp(c.keptExtension, ".mp3") ? 2 : c.format.channels);
    EXPECT_GT(probe.duration, 1.0);
    // What the writer was given before the write that failed reached the
    // disk, but for its last moments.
    double given = 0;
    for (const Event& e : recorder.Events()) {
        if (e.code == kSonacapNotifyWriteFailed)
            break;
        if (e.code == kSonacapNotifyMusicStart || e.code == kSonacapNotifyMusicData)
            given += 0.020;
    }
    EXPECT_LE(given - probe.duration, 0.5) << "given " << given << " s, kept " << probe.duration << " s";
    if (!std::strcmp(c.keptExtension, ".wav")) {
        int rate = 0;
        int channels = 0;
        const auto data = WavData(end.path, &rate, &channels);
        const uint64_t fileBytes = ReadFile(end.path).size();
        EXPECT_EQ(channels, c.format.channels);
        // The header counts what the file holds, to the frame.
        EXPECT_LE(fileBytes - data.size(), 44u + static_cast<uint64_t>(c.format.channels) * 2);
    } else {
        const std::vector<int16_t> samples = DecodeMono(end.path);
        EXPECT_GT(Rms(samples), 1000.0) << "the kept part holds the music";
        EXPECT_TRUE(EndsOnWholeFrame(end.path));
        EXPECT_EQ(DecodeErrors(end.path), "");
    }
}

INSTANTIATE_TEST_SUITE_P(
    Writers, DiskFills,
    ::testing::Values(
        FullDiskCase{"wav on a small disk", Format(48000, 2, 16), false, DiskFault::SmallDisk, ".wav"},
        FullDiskCase{"mp3 on a small disk", Format(48000, 2, 16), true, DiskFault::SmallDisk, ".mp3"},
        FullDiskCase{"six channel mp3 on a small disk", Format(48000, 6, 16), true, DiskFault::SmallDisk, ".wav"},
        FullDiskCase{"wav at a file size limit", Format(48000, 2, 16), false, DiskFault::FileSizeLimit, ".wav"},
        FullDiskCase{"mp3 at a file size limit", Format(48000, 2, 16), true, DiskFault::FileSizeLimit, ".mp3"},
        // The mix-down is smaller than the limit: the song ends up MP3.
        FullDiskCase{"six channel mp3 at a file size limit", Format(48000, 6, 16), true, DiskFault::FileSizeLimit,
                     ".mp3"}),
    [](const ::testing::TestParamInfo<FullDiskCase>& info) { return NamePart(info.param.label); });

// While a song is open its disk is watched: below the reserve the song is
// finished whole (everything queued before is in it) and recording stops
// with code 6, before a write could fail.
TEST_F(ProcessTest, NearlyFullDiskEndsTheSongCleanly)
{
    Begin(kSmall);
    const auto music = Music(kSmall, 1500);
    Push(music);
    ASSERT_TRUE(recorder.WaitSongClips(75));
    freeBytes = CAudioProcess::kSongReserveBytes - 1;
    Push(Music(kSmall, 1000));
    ASSERT_TRUE(recorder.WaitCount(kSonacapNotifyDiskFull, 1));
    process.Terminate();

    EXPECT_EQ(recorder.Steps(), (std::vector<int>{kSonacapNotifyProcessStart, kSonacapNotifyMusicStart,
                                                  kSonacapNotifyMusicEnd, kSonacapNotifyDiskFull}));
    const Event end = recorder.Last(kSonacapNotifyMusicEnd);
    EXPECT_EQ(end.path, SongPaths(recorder.Events()).at(0));
    EXPECT_EQ(recorder.Last(kSonacapNotifyDiskFull).freeBytes, CAudioProcess::kSongReserveBytes - 1);
    EXPECT_EQ(recorder.Count(kSonacapNotifyWriteFailed), 0u);
    EXPECT_EQ(process.GetState(), 1);
    // Checked once a second of song: the song holds 2 s, and is a whole WAV.
    EXPECT_EQ(WavData(end.path).size(), 2000u * 16);
}

// A folder removed with the song in it: the writes go nowhere, so the song
// is never reported as a file; the program learns the folder is gone.
TEST_F(ProcessTest, FolderRemovedMidSongIsNoFinishedSong)
{
    const std::string folder = dir.Folder() + "songs";
    ASSERT_EQ(mkdir(folder.c_str(), 0700), 0);
    process.SetOutputFolder(folder.c_str());
    Begin(kSmall);
    Push(Music(kSmall, 500));
    ASSERT_TRUE(recorder.WaitSongClips(25));
    const std::string song = SongPaths(recorder.Events()).at(0);
    ASSERT_EQ(unlink(song.c_str()), 0);
    ASSERT_EQ(rmdir(folder.c_str()), 0);
    Push(Music(kSmall, 1500));
    ASSERT_TRUE(recorder.WaitCount(kSonacapNotifyWriteFailed, 1));

    EXPECT_EQ(recorder.Steps(), (std::vector<int>{kSonacapNotifyProcessStart, kSonacapNotifyMusicStart,
                                                  kSonacapNotifyMusicEnd, kSonacapNotifyWriteFailed}));
    EXPECT_TRUE(recorder.Last(kSonacapNotifyMusicEnd).nullParam);
    const Event failure = recorder.Last(kSonacapNotifyWriteFailed);
    EXPECT_EQ(failure.reason, kSonacapReasonFolderNotWritable);
    EXPECT_EQ(failure.systemError, ENOENT);
    EXPECT_TRUE(failure.path.empty());
    EXPECT_FALSE(FileExists(folder)) << "nothing recreates the folder";
}

// Capture lost: the song ends exactly where the captured sound ended, the
// loss is reported once, recording stays on, and once capture is back the
// next music is a new song.
TEST_F(ProcessTest, CaptureLossEndsTheSongAndRecordingGoesOn)
{
    process.SetSilenceLimit(60000);
    Begin(kSmall);
    const auto before = Music(kSmall, 1000);
    Push(before);
    queue.PushEvent(CAudioDataManager::kCaptureLost);
    Push(Silence(kSmall, 400));
    queue.PushEvent(CAudioDataManager::kCaptureLost);
    ASSERT_TRUE(recorder.WaitCount(kSonacapNotifyCaptureLost, 1));
    queue.PushEvent(CAudioDataManager::kCaptureRestored);
    Push(Music(kSmall, 500));
    ASSERT_TRUE(recorder.WaitCount(kSonacapNotifyMusicStart, 2));
    EXPECT_EQ(process.GetState(), 2);
    StopAndWaitEnd(2);

    EXPECT_EQ(recorder.Steps(), (std::vector<int>{kSonacapNotifyProcessStart, kSonacapNotifyMusicStart,
                                                  kSonacapNotifyMusicEnd, kSonacapNotifyCaptureLost,
                                                  kSonacapNotifyCaptureRestored, kSonacapNotifyMusicStart,
                                                  kSonacapNotifyMusicEnd}));
    EXPECT_TRUE(WavData(SongPaths(recorder.Events()).at(0)) == before);
    EXPECT_EQ(recorder.Last(kSonacapNotifyCaptureLost).reason, kSonacapReasonCaptureLost);
}

// Capture runs all day, recording or not, and the engine log is packed into
// bug reports. It tells what changed, not every clip: an hour of idle sound
// (half an hour of silence, then half an hour of music that plays but is not
// recorded, with a pause every minute) leaves well under 1 MB, and every
// change between silence and music is in it.
TEST_F(ProcessTest, AnHourOfIdleClipsKeepsTheLogSmall)
{
    TempDir logs;
    InitLogSystem("Sonacap", logs.Path().c_str(), 5, 2, 0);
    Begin(kSmall, 1);
    std::atomic<unsigned> clips{0};
    process.SetCallback(
        [](void* user, tagSonacapNotify code, void*) {
            if (code == kSonacapNotifyAudioClip)
                ++*static_cast<std::atomic<unsigned>*>(user);
        },
        &clips);
    const auto quietMinute = Silence(kSmall, 60000);
    const auto playedMinute = Join({Music(kSmall, 59000), Silence(kSmall, 1000)});
    unsigned pushed = 0;
    for (int minute = 0; minute < 60; ++minute) {
        Push(minute < 30 ? quietMinute : playedMinute);
        pushed += 3000;
        // Ten minutes at most in the queue.
        if (minute % 10 == 9) {
            const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
            while (clips < pushed && std::chrono::steady_clock::now() < deadline)
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
            ASSERT_EQ(clips.load(), pushed);
        }
    }
    process.Terminate();
    ReleaseLogSystem();

    const std::string log = logs.Path() + "/Sonacap.log";
    const std::vector<unsigned char> current = ReadFile(log);
    const uint64_t bytes = current.size() + ReadFile(log + ".1").size();
    EXPECT_LT(bytes, 1000000u);
    RecordProperty("log_bytes_per_idle_hour", std::to_string(bytes));
    const std::string text(current.begin(), current.end());
    auto count = [&text](const std::string& what) {
        size_t n = 0;
        for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
            ++n;
        return n;
    };
    EXPECT_EQ(count("audio data type=mute"), 31u);
    EXPECT_EQ(count("audio data type = music"), 30u);
}
