#include <gtest/gtest.h>

#include <sndfile.h>

#include <csignal>
#include <cstdlib>
#include <memory>
#include <cstring>
#include <regex>

#include "CSonacapImpl.h"
#include "CaptureTestSupport.h"
#include "PrivateSoundServer.h"
#include "PulseSession.h"

namespace {

const AudioParam kCd{44100, 2, 16, 0, 0, 0, 0};
const std::vector<Segment> kTwoSongs{{4, 440}, {1, 0}, {1, 660}, {1, 0}};

// A song has at least this many whole seconds written.
bool SongReached(const std::vector<NotificationLog::Entry>& entries, int seconds)
{
    return std::any_of(entries.begin(), entries.end(), [seconds](const auto& e) { return e.code == 3 && e.seconds >= seconds; });
}

// A song that started after the first notification `code` has at least this
// many whole seconds written.
bool SongAfterReached(const std::vector<NotificationLog::Entry>& entries, int code, int seconds)
{
    bool after = false;
    bool started = false;
    for (const auto& e : entries) {
        after = after || e.code == code;
        started = started || (after && e.code == 2);
        if (started && e.code == 3 && e.seconds >= seconds)
            return true;
    }
    return false;
}

bool HasCode(const std::vector<NotificationLog::Entry>& entries, int code, int count = 1)
{
    return std::count_if(entries.begin(), entries.end(), [code](const auto& e) { return e.code == code; }) >= count;
}

// The engine's module (work folder and log) is set up once per process, as
// the program does.
class ModuleEnvironment : public ::testing::Environment {
public:
    void SetUp() override
    {
        work = new TempFolder();
        InitSonacapModule(work->Path().c_str(), work->Path().c_str());
    }
    void TearDown() override
    {
        delete work;
        work = nullptr;
    }
    static TempFolder* work;
};
TempFolder* ModuleEnvironment::work = nullptr;
const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new ModuleEnvironment);

class EngineCaptureTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        engine = CSonacapBase::GetInstance();
        ASSERT_NE(engine, nullptr);
        engine->RegCallback(NotificationLog::Callback, &log);
        engine->SetTextParam(3, out.Path().c_str());
    }

    void TearDown() override { CSonacapBase::Release(engine); }

    CSonacapImpl* Impl() { return static_cast<CSonacapImpl*>(engine); }

    // Waits for a few idle clips, so capture is known to run before recording.
    void WaitIdle()
    {
        ASSERT_TRUE(log.WaitFor([](const auto& e) { return HasCode(e, 1, 5); })) << log.Sequence();
    }

    // The one song the test expects: its name, format and length.
    void ExpectOneSong(const char* extension, double minSeconds, double maxSeconds)
    {
        std::vector<std::string> files = out.Files();
        ASSERT_EQ(files.size(), 1u);
        std::regex pattern(std::string("[0-9]{4}_[0-9]{2}_[0-9]{2}_[0-9]{2}_[0-9]{2}_[0-9]{2}\\.") + extension);
        EXPECT_TRUE(std::regex_match(files[0], pattern)) << files[0];
        std::string path = out.Path() + files[0];
        for (const auto& e : log.Entries()) {
            if (e.code == 4 && !e.isNull) {
                EXPECT_EQ(e.path, path);
            }
        }
        SF_INFO info{};
        SNDFILE* f = sf_open(path.c_str(), SFM_READ, &info);
        ASSERT_NE(f, nullptr) << sf_strerror(nullptr);
        EXPECT_EQ(info.samplerate, 44100);
        EXPECT_EQ(info.channels, 2);
        double seconds = static_cast<double>(info.frames) / info.samplerate;
        EXPECT_GE(seconds, minSeconds);
        EXPECT_LE(seconds, maxSeconds);
        sf_close(f);
    }

    std::string LogText() { return ReadText(ModuleEnvironment::work->Path() + "Sonacap.log"); }

    TempFolder out;
    NotificationLog log;
    CSonacapBase* engine = nullptr;
};

TEST_F(EngineCaptureTest, LoopbackWavSplitsAtSilenceAndDropsTheShortSong)
{
    Output48 output;
    ASSERT_TRUE(output.Ok());
    ASSERT_EQ(engine->SelectMode(1, kCd, nullptr), 0);
    WaitIdle();
    auto entries = log.Entries();
    EXPECT_EQ(entries.front().format.samplesPerSec, 48000);

    ASSERT_EQ(engine->Start(0, 1, 0), 0);
    Player player(Output48::kSink, 48000, 2, RenderProgram(kTwoSongs, 48000, 2));
    EXPECT_TRUE(log.WaitFor([](const auto& e) { return HasCode(e, 4, 2); })) << log.Sequence();
    EXPECT_EQ(log.Sequence(), "0 1 2 3 4p 2 3 4n");
    player.Join();
    EXPECT_TRUE(player.Ok());
    engine->Stop();
    ExpectOneSong("wav", 3.9, 4.7);
}

TEST_F(EngineCaptureTest, LoopbackMp3At320AndStopFinishesTheSong)
{
    Output48 output;
    ASSERT_TRUE(output.Ok());
    ASSERT_EQ(engine->SelectMode(1, kCd, nullptr), 0);
    WaitIdle();
    ASSERT_EQ(engine->Start(0, 2, 4), 0);
    Player player(Output48::kSink, 48000, 2, RenderProgram({{4.5, 440}}, 48000, 2));
    // Past the 3 s minimum, stop.
    ASSERT_TRUE(log.WaitFor([](const auto& e) { return SongReached(e, 3); })) << log.Sequence();
    engine->Stop();
    EXPECT_TRUE(log.WaitFor([](const auto& e) { return HasCode(e, 4); }));
    EXPECT_EQ(log.Sequence().substr(0, 10), "0 1 2 3 4p");
    player.Join();

    std::vector<std::string> files = out.Files();
    ASSERT_EQ(files.size(), 1u);
    EXPECT_TRUE(std::regex_match(files[0], std::regex("[0-9_]{19}\\.mp3"))) << files[0];
    EXPECT_EQ(Mp3BitRate(out.Path() + files[0]), 320);
    SF_INFO info{};
    SNDFILE* f = sf_open((out.Path() + files[0]).c_str(), SFM_READ, &info);
    if (f) {  // libsndfile reads MP3 from version 1.1 on
        EXPECT_EQ(info.samplerate, 44100);
        EXPECT_GE(static_cast<double>(info.frames) / info.samplerate, 3.0);
        sf_close(f);
    }
}

TEST_F(EngineCaptureTest, InputDeviceThroughTheFifo)
{
    ASSERT_EQ(engine->SelectMode(2, kCd, "Test_Micro"), 0);
    FifoFeeder lead(RenderProgram({{0.3, 0}}, 44100, 2));
    lead.Join();
    WaitIdle();
    ASSERT_EQ(engine->Start(0, 1, 0), 0);
    FifoFeeder feeder(RenderProgram(kTwoSongs, 44100, 2));
    EXPECT_TRUE(log.WaitFor([](const auto& e) { return HasCode(e, 4, 2); })) << log.Sequence();
    // Taken before Stop: the rest of the fed silence is reported idle after it.
    std::string sequence = log.Sequence();
    EXPECT_EQ(sequence, "0 1 2 3 4p 2 3 4n");
    feeder.Join();
    EXPECT_TRUE(feeder.Ok());
    engine->Stop();
    ExpectOneSong("wav", 3.9, 4.7);
}

TEST_F(EngineCaptureTest, InputFormatRecordFollowsTheRequest)
{
    struct Case {
        AudioParam request;
        AudioParam reported;
    };
    const Case cases[] = {
        {{44100, 2, 16, 0, 0, 0, 0}, {44100, 2, 16, 1, 4, 1, 0}},
        {{22050, 1, 8, 0, 0, 0, 0}, {22050, 1, 8, 1, 1, 1, 0}},
        {{48000, 1, 16, 0, 0, 0, 0}, {48000, 1, 16, 1, 2, 1, 0}},
    };
    for (const Case& c : cases) {
        log.Clear();
        ASSERT_EQ(engine->SelectMode(2, c.request, "Test_Microphone"), 0);
        ASSERT_TRUE(log.WaitFor([](const auto& e) { return HasCode(e, 0); }));
        // Whatever comes before the format is the previous run's last idle clip.
        const auto entries = log.Entries();
        const AudioParam got =
            std::find_if(entries.begin(), entries.end(), [](const auto& e) { return e.code == 0; })->format;
        EXPECT_EQ(std::memcmp(&got, &c.reported, sizeof got), 0)
            << got.samplesPerSec << " " << got.channels << " " << got.bitsPerSample << " " << got.reserved << " "
            << got.blockAlign << " " << got.formatTag << " " << got.extraSize;
    }
}

TEST_F(EngineCaptureTest, ResetWithASongOpenReportsItBeforeReturning)
{
    Output48 output;
    ASSERT_TRUE(output.Ok());
    ASSERT_EQ(engine->SelectMode(1, kCd, nullptr), 0);
    WaitIdle();
    ASSERT_EQ(engine->Start(0, 1, 0), 0);
    Player player(Output48::kSink, 48000, 2, RenderProgram({{4.5, 440}}, 48000, 2));
    ASSERT_TRUE(log.WaitFor([](const auto& e) { return SongReached(e, 3); }));
    engine->Reset();
    EXPECT_EQ(log.Sequence(), "0 1 2 3 4p");
    EXPECT_EQ(engine->Start(0, 1, 0), -4086) << "Reset removed the recorder";
    player.Join();
    EXPECT_EQ(out.Files().size(), 1u);
}

TEST_F(EngineCaptureTest, SelectModeDuringLoopbackStopsTheLoopbackFirst)
{
    Output48 output;
    ASSERT_TRUE(output.Ok());
    auto readsAMonitor = [](const ServerView& view) {
        return std::any_of(view.recordedSources.begin(), view.recordedSources.end(),
                           [](const std::string& s) { return s.find(".monitor") != std::string::npos; });
    };
    ASSERT_EQ(engine->SelectMode(1, kCd, nullptr), 0);
    WaitIdle();
    ServerView view;
    ASSERT_TRUE(ReadServerView(&view));
    ASSERT_TRUE(readsAMonitor(view)) << "the loopback reads the output's monitor";
    ASSERT_EQ(engine->SelectMode(2, kCd, "Test_Micro"), 0);
    ASSERT_TRUE(log.WaitFor([](const auto& e) { return HasCode(e, 0, 2); }));
    // The server reads no output's monitor for us any more.
    for (int i = 0; i < 20 && readsAMonitor(view); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        ASSERT_TRUE(ReadServerView(&view));
    }
    for (const std::string& source : view.recordedSources)
        EXPECT_EQ(source.find(".monitor"), std::string::npos) << source;
    size_t firstRun = 0;
    {
        auto entries = log.Entries();
        firstRun = static_cast<size_t>(
            std::find_if(entries.begin() + 1, entries.end(), [](const auto& e) { return e.code == 0; }) -
            entries.begin());
    }
    // No loopback silence may reach the queue any more; only the FIFO feeds
    // it. A microphone that sends silence unfed hides the difference.
    if (InputSendsOnlyWhatIsFed()) {
        ASSERT_FALSE(log.WaitFor([&](const auto& e) { return e.size() > firstRun + 1; }, std::chrono::milliseconds(600)))
            << log.Sequence();
    }
    FifoFeeder lead(RenderProgram({{0.2, 0}}, 44100, 2));
    lead.Join();
    EXPECT_TRUE(log.WaitFor([&](const auto& e) { return e.size() > firstRun + 3; }));
}

TEST_F(EngineCaptureTest, PreviewVolumeIsTheOutputsVolumeInLoopback)
{
    Output48 output;
    ASSERT_TRUE(output.Ok());
    EXPECT_EQ(engine->GetPreviewVolume(), 0) << "no mode yet";
    ASSERT_EQ(engine->SelectMode(1, kCd, nullptr), 0);
    for (int level : {37, 0, 100}) {
        engine->SetPreviewVolume(level);
        EXPECT_EQ(engine->GetPreviewVolume(), level);
        pa_volume_t raw = 0;
        ASSERT_TRUE(ServerCommand([&](PulseSession& s) { return s.GetVolume(false, Output48::kSink, &raw, nullptr); }));
        EXPECT_EQ(static_cast<int>(raw * 100ull / PA_VOLUME_NORM), level);
    }
    ASSERT_EQ(engine->SelectMode(2, kCd, "Test_Micro"), 0);
    EXPECT_EQ(engine->GetPreviewVolume(), 0);
}

TEST_F(EngineCaptureTest, InputDeviceListing)
{
    ASSERT_EQ(engine->EnumInputDevice(), 0);
    int count = engine->InputDeviceCount();
    ASSERT_GE(count, 1);
    int found = -1;
    char buf[256];
    for (int i = 0; i < count; ++i) {
        ASSERT_EQ(engine->GetInputDevice(static_cast<unsigned>(i), buf, sizeof buf), 0);
        EXPECT_EQ(std::strstr(buf, "Monitor"), nullptr);
        if (std::strcmp(buf, "Test_Microphone") == 0)
            found = i;
    }
    ASSERT_GE(found, 0);
    std::memset(buf, 'x', sizeof buf);
    EXPECT_EQ(engine->GetInputDevice(static_cast<unsigned>(found), buf, 5), 0);
    EXPECT_STREQ(buf, "Test");
    EXPECT_EQ(buf[5], 'x') << "nothing beyond size is written";
    EXPECT_EQ(engine->GetInputDevice(static_cast<unsigned>(found), buf, 1), 0);
    EXPECT_EQ(buf[0], '\0');
    EXPECT_EQ(engine->GetInputDevice(static_cast<unsigned>(-1), buf, sizeof buf), -4095);
    EXPECT_EQ(engine->GetInputDevice(static_cast<unsigned>(count), buf, sizeof buf), -4095);
    EXPECT_EQ(engine->GetInputDevice(0, nullptr, 10), -4091);
    EXPECT_EQ(engine->GetInputDevice(0, buf, 0), -4091);
    EXPECT_EQ(engine->GetInputDevice(0, buf, -3), -4091);
}

TEST_F(EngineCaptureTest, FailureTableAndLog)
{
    EXPECT_EQ(engine->Start(0, 1, 0), -4086) << "no SelectMode yet";
    EXPECT_EQ(engine->SelectMode(2, kCd, nullptr), -4095);
    EXPECT_EQ(engine->Start(0, 1, 0), -4086);
    EXPECT_EQ(engine->SelectMode(2, kCd, "No such microphone"), -4095);
    EXPECT_EQ(engine->SelectMode(2, AudioParam{44100, 2, 24, 0, 0, 0, 0}, "Test_Micro"), -4092);
    EXPECT_EQ(engine->Start(0, 1, 0), -4086);

    ASSERT_EQ(engine->SelectMode(3, kCd, nullptr), 0);
    EXPECT_EQ(engine->Start(0, 3, 0), -3583);
    // A folder that cannot take songs is not a full disk.
    engine->SetTextParam(3, (out.Path() + "missing").c_str());
    EXPECT_EQ(engine->Start(0, 1, 0), -3579);
    engine->SetTextParam(3, out.Path().c_str());
    std::string asked;
    Impl()->SetDiskFreeFunction([&asked](const std::string& folder) {
        asked = folder;
        return uint64_t{49} * 1024 * 1024;
    });
    EXPECT_EQ(engine->Start(0, 1, 0), -4085);
    EXPECT_EQ(asked, out.Path()) << "the songs' folder is checked, not the work folder";
    Impl()->SetDiskFreeFunction(nullptr);
    EXPECT_EQ(engine->Start(0, 2, 1), 0);
    engine->Stop();
    engine->Reset();

    std::string text = LogText();
    for (const char* line : {"CSonacapImpl::SelectMode in", "CSonacapImpl::SelectMode out", "Invalid audio input device",
                             "device not support record param [nChannels=2,nSamplesPerSec=44100,wBitsPerSample=24]",
                             "code=-4092,msg=error", "code= -3583,msg=error", "code= -4085,msg=error",
                             "code= -4086,msg=error", "Invalid device name:No such microphone"})
        EXPECT_NE(text.find(line), std::string::npos) << line;
}

TEST_F(EngineCaptureTest, InputRecordingNeedsNoPlaybackDevice)
{
    // Take every output away for this test, then put the fixture's back.
    std::vector<PulseModule> modules;
    ASSERT_TRUE(ServerCommand([&](PulseSession& s) { return s.ListModules(&modules); }));
    std::vector<PulseModule> sinks;
    for (const PulseModule& m : modules) {
        if (m.name == "module-null-sink")
            sinks.push_back(m);
    }
    ASSERT_FALSE(sinks.empty());
    ASSERT_TRUE(ServerCommand([&](PulseSession& s) {
        for (const PulseModule& m : sinks) {
            if (!s.UnloadModule(m.index))
                return false;
        }
        return true;
    }));
    int input = engine->SelectMode(2, kCd, "Test_Micro");
    int loopback = engine->SelectMode(1, kCd, nullptr);
    engine->Reset();
    ServerCommand([&](PulseSession& s) {
        for (const PulseModule& m : sinks)
            s.LoadModule(m.name, m.argument, nullptr);
        return s.SetDefaultSink("test_out");
    });
    EXPECT_EQ(input, 0);
    EXPECT_EQ(loopback, -4094);
    EXPECT_NE(LogText().find("Not default device"), std::string::npos);
}

// The user picks another output in the middle of a song, as a desktop does
// when headphones are plugged in: the player's stream follows the default
// output, and so must the recording, and back again. One song; the sweep it
// holds shows no more than a capture fragment missing and nothing twice.
TEST_F(EngineCaptureTest, DefaultOutputSwitchKeepsTheSongWhole)
{
    NullOutput headphones("capture_phones", "Phones", 44100, false);
    ASSERT_TRUE(headphones.Ok());
    ASSERT_EQ(engine->SelectMode(1, kCd, nullptr), 0);
    WaitIdle();
    ASSERT_EQ(engine->Start(0, 1, 0), 0);
    {
        Player player("", 44100, 2, RenderSweep(0, 7, 44100, 2));
        ASSERT_TRUE(log.WaitFor([](const auto& e) { return SongReached(e, 2); })) << log.Sequence();
        ASSERT_TRUE(ServerCommand([](PulseSession& s) { return s.SetDefaultSink("capture_phones"); }));
        ASSERT_TRUE(log.WaitFor([](const auto& e) { return SongReached(e, 4); })) << log.Sequence();
        ASSERT_TRUE(ServerCommand([](PulseSession& s) { return s.SetDefaultSink("test_out"); }));
        player.Join();
        EXPECT_TRUE(player.Ok());
    }
    ASSERT_TRUE(log.WaitFor([](const auto& e) { return HasCode(e, 4); })) << log.Sequence();
    engine->Stop();
    EXPECT_EQ(log.Sequence().substr(0, 10), "0 1 2 3 4p");
    EXPECT_EQ(log.Count(2), 1) << log.Sequence();
    std::vector<std::string> files = out.Files();
    ASSERT_EQ(files.size(), 1u);
    const SweepTrace trace = TraceSweep(out.Path() + files[0]);
    ASSERT_TRUE(trace.found);
    EXPECT_LT(trace.first, 0.05);
    EXPECT_GT(trace.last, 6.9);
    // The server drops what it had not yet sent of the old output's stream
    // when the player's stream leaves it: at most a capture fragment (20 ms),
    // measured to a millisecond. A busy PipeWire also skips a cycle or two of
    // the player (10.7 ms each) for every listener, which a sweep cannot tell
    // from a loss; the loopback recovery tests, which can, hold the capture
    // to a fragment there.
    const double fragments = PrivateSoundServer::PipeWire() ? 2 : 1;
    EXPECT_LE(trace.lostMs, 21.0 * fragments) << "more than a capture fragment missing";
    EXPECT_LE(trace.repeatedMs, 5.0);
    RecordProperty("lost_ms", std::to_string(trace.lostMs));
}

struct ServerFaultCase {
    const char* label;
    int mode;      // 1 loopback, 2 input device
    bool crash;    // the server ends (and is started again), else it hangs (and wakes up)
};

void PrintTo(const ServerFaultCase& c, std::ostream* os) { *os << c.label; }

class ServerFault : public EngineCaptureTest, public ::testing::WithParamInterface<ServerFaultCase> {};

// The sound server dies or hangs in the middle of a song: the song so far is
// kept as a whole file and reported (4 with its path), then the loss (8);
// recording stays on, and once the server is back (9) the next music is the
// next song. Nothing has to be pressed.
TEST_P(ServerFault, SongKeptAndRecordingResumesWithTheServer)
{
    const ServerFaultCase& c = GetParam();
    // A feeder whose server died must not end the test with SIGPIPE.
    signal(SIGPIPE, SIG_IGN);
    PrivateSoundServer server;
    ASSERT_TRUE(server.Ok());
    ASSERT_EQ(engine->SelectMode(c.mode, kCd, c.mode == 1 ? nullptr : "Test_Micro"), 0);
    // What the program passes with its song filter at 1 s: every piece of
    // sound would be kept as a song.
    engine->SetIntParam(2, 1);
    // The sweep from program time `from` on; the second stretch starts later
    // in the program, so no song may hold a program time twice.
    auto play = [&](double from, double seconds) {
        if (c.mode == 1)
            return std::make_unique<Player>("test_out", 44100, 2, RenderSweep(from, seconds, 44100, 2));
        return std::unique_ptr<Player>();
    };
    auto feed = [&](double from, double seconds) {
        if (c.mode == 2)
            return std::make_unique<FifoFeeder>(RenderSweep(from, seconds, 44100, 2), server.InputFifo());
        return std::unique_ptr<FifoFeeder>();
    };
    if (c.mode == 2)
        FifoFeeder(RenderProgram({{0.3, 0}}, 44100, 2), server.InputFifo()).Join();
    WaitIdle();
    ASSERT_EQ(engine->Start(0, 1, 0), 0);
    {
        auto player = play(0, 6);
        auto feeder = feed(0, 6);
        // Should a check below end the test with the server frozen, the server
        // thaws before the feeder waits for it to read the FIFO.
        struct ThawAtExit {
            PrivateSoundServer& server;
            ~ThawAtExit() { server.Thaw(); }
        } thawAtExit{server};
        ASSERT_TRUE(log.WaitFor([](const auto& e) { return SongReached(e, 3); })) << log.Sequence();
        ASSERT_TRUE(c.crash ? server.Stop() : server.Freeze());
        ASSERT_TRUE(log.WaitFor([](const auto& e) { return HasCode(e, 8); }, std::chrono::seconds(20)))
            << log.Sequence();
        ASSERT_TRUE(c.crash ? server.Start() : server.Thaw());
        ASSERT_TRUE(log.WaitFor([](const auto& e) { return HasCode(e, 9); }, std::chrono::seconds(20)))
            << log.Sequence();
    }
    {
        auto player = play(10, 3.5);
        auto feeder = feed(10, 3.5);
        ASSERT_TRUE(log.WaitFor([](const auto& e) { return SongAfterReached(e, 9, 3); })) << log.Sequence();
        engine->Stop();
        ASSERT_TRUE(log.WaitFor([](const auto& e) {
            return std::count_if(e.begin(), e.end(), [](const auto& x) { return x.code == 4; }) ==
                   std::count_if(e.begin(), e.end(), [](const auto& x) { return x.code == 2; });
        })) << log.Sequence();
    }
    const std::string sequence = log.Sequence();
    EXPECT_EQ(sequence.substr(0, 14), "0 1 2 3 4p 8 9") << sequence;
    EXPECT_EQ(std::count(sequence.begin(), sequence.end(), '8'), 1) << sequence;
    const std::vector<std::string> files = out.Files();
    ASSERT_GE(files.size(), 2u) << sequence << " " << (files.empty() ? "" : files[0]);
    // A server that wakes up hands over at once what it rendered while it
    // stood still: the rest of the first player's sound, which may be short
    // and is then a song of its own, and silence. Nothing is heard twice; the
    // songs before the hang and after it are whole. PipeWire hands the rest
    // of a player's buffered sound over in pieces a second apart once its
    // graph runs again, which the filter may keep as short songs of a few
    // scraps each: those are not traced.
    SweepTrace previous;
    for (const auto& e : log.Entries()) {
        if (e.code != 4 || e.isNull)
            continue;
        SCOPED_TRACE(e.path);
        SF_INFO info{};
        SNDFILE* f = sf_open(e.path.c_str(), SFM_READ, &info);
        ASSERT_NE(f, nullptr) << sf_strerror(nullptr);
        const double seconds = static_cast<double>(info.frames) / info.samplerate;
        sf_close(f);
        const SweepTrace trace = TraceSweep(e.path);
        if (!trace.found && previous.found && c.mode == 1 && PrivateSoundServer::PipeWire())
            continue;
        ASSERT_TRUE(trace.found) << seconds << " s";
        if (!previous.found || trace.first >= 10) {
            EXPECT_GE(seconds, 2.9);
        }
        EXPECT_LE(trace.repeatedMs, 5.0);
        if (previous.found) {
            // At the seam of the song a hang ended and the next one, 32 ms
            // were once heard twice (in about ten runs on a loaded machine,
            // PulseAudio); within one stream the recovery tests' placement
            // holds repeats to 5 ms. More than that here would be a song's
            // sound recorded again.
            EXPECT_GE(trace.first, previous.last - 0.05) << "sound of the song before recorded again";
        }
        previous = trace;
    }
}

INSTANTIATE_TEST_SUITE_P(Faults, ServerFault,
                         ::testing::Values(ServerFaultCase{"loopback crash", 1, true},
                                           ServerFaultCase{"loopback hang", 1, false},
                                           ServerFaultCase{"input crash", 2, true},
                                           ServerFaultCase{"input hang", 2, false}),
                         [](const ::testing::TestParamInfo<ServerFaultCase>& info) {
                             std::string name = info.param.label;
                             std::replace(name.begin(), name.end(), ' ', '_');
                             return name;
                         });

TEST_F(EngineCaptureTest, UnreachableServer)
{
    ScopedServer nowhere("unix:/nonexistent/sonacap/native");
    CSonacapBase* lonely = CSonacapBase::GetInstance();
    EXPECT_EQ(lonely->EnumInputDevice(), -4093);
    EXPECT_EQ(lonely->InputDeviceCount(), 0);
    EXPECT_EQ(lonely->SelectMode(1, kCd, nullptr), -4093);
    EXPECT_EQ(lonely->SelectMode(2, kCd, "Test_Micro"), -4093);
    EXPECT_EQ(lonely->Start(0, 1, 0), -4086);
    CSonacapBase::Release(lonely);
}

} // namespace
