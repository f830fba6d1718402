// What the loopback recording keeps when the output changes under it or the
// sound server hangs, and whether the engine lets idle outputs sleep, on a
// private PulseAudio daemon and on a private PipeWire server (the tests'
// fixtures, in folders of their own). The real engine records WAV from the
// default output while a player plays a known pink-noise program into it;
// each recording is placed in that program (tests/common/NoisePlacement), so
// missing and repeated milliseconds are measured, not guessed from lengths.
//
//   loopback_switch_bench [--server pulseaudio|pipewire|both] [--runs N]
//                         [--freeze-runs N] [--case NAME]...
//
// Cases (all by default; --case picks some):
//   switch-ab  20 s song; at 8 s the default output changes from the
//              fixture's test_out to a 48 kHz output that existed, and the
//              player's stream is moved along, as a desktop does
//   switch-ba  the same from the 48 kHz output back to test_out
//   new        the 48 kHz output appears at 7 s and becomes the default at 8 s
//              (headphones plugged in and chosen at once)
//   freeze     30 s song; at 8 s the server process that moves the sound stops
//              (SIGSTOP) for 15 s, then goes on (SIGCONT)
//   idle       the state of every output without the engine, with the engine
//              open and idle (loopback set up, not recording) for 10 s, and
//              10 s after it closed; PulseAudio gets module-suspend-on-idle,
//              as a desktop's has, PipeWire's session manager suspends by itself
// Per run: songs written, and milliseconds of the program missing (within
// songs and between them), repeated, silence inserted, and missing at the
// ends (before the first song's sound and after the last's, which the start
// and the stop of recording decide, not the switch); per case the minimum,
// median and maximum over the runs. Figures only, no verdicts.

#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "CaptureTestSupport.h"
#include "NoisePlacement.h"
#include "PrivateSoundServer.h"
#include "PulseSession.h"
#include "Sonacap.h"

namespace {

using Clock = std::chrono::steady_clock;

const AudioParam kCd{44100, 2, 16, 0, 0, 0, 0};
constexpr const char* kOther = "bench_other";
constexpr const char* kOtherDescription = "Bench_Other";
constexpr uint32_t kSeed = 31337;

struct RunFigures {
    int songs = 0;
    double missingMs = 0;
    double repeatedMs = 0;
    double silenceMs = 0;
    double endsMs = 0;  // missing before the first song's sound and after the last's
};

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

void PrintSummary(const std::string& server, const std::string& name, const std::vector<RunFigures>& runs)
{
    auto column = [&](double RunFigures::*field) {
        std::vector<double> v;
        for (const RunFigures& r : runs)
            v.push_back(r.*field);
        char text[96];
        std::snprintf(text, sizeof text, "%.1f / %.1f / %.1f", v.empty() ? 0 : *std::min_element(v.begin(), v.end()),
                      Median(v), v.empty() ? 0 : *std::max_element(v.begin(), v.end()));
        return std::string(text);
    };
    int oneSong = 0;
    for (const RunFigures& r : runs)
        oneSong += r.songs == 1;
    std::printf("%-10s %-9s runs %2zu  missing ms %-22s repeated ms %-22s silence ms %-22s ends ms %-22s "
                "one song in %d\n",
                server.c_str(), name.c_str(), runs.size(), column(&RunFigures::missingMs).c_str(),
                column(&RunFigures::repeatedMs).c_str(), column(&RunFigures::silenceMs).c_str(),
                column(&RunFigures::endsMs).c_str(), oneSong);
    std::fflush(stdout);
}

// A shell command's output (pactl for what the engine's own session has no call for).
std::string Output(const std::string& command)
{
    std::string text;
    if (FILE* p = popen(command.c_str(), "r")) {
        char buffer[4096];
        size_t n;
        while ((n = std::fread(buffer, 1, sizeof buffer, p)) > 0)
            text.append(buffer, n);
        pclose(p);
    }
    return text;
}

// The user's choice: the new default, and the playing streams moved onto it.
void SwitchTo(const std::string& sink)
{
    ServerCommand([&](PulseSession& s) { return s.SetDefaultSink(sink); });
    const std::string inputs = Output("pactl list short sink-inputs 2>/dev/null");
    size_t at = 0;
    while (at < inputs.size()) {
        const size_t end = inputs.find('\n', at);
        const std::string line = inputs.substr(at, end == std::string::npos ? std::string::npos : end - at);
        at = end == std::string::npos ? inputs.size() : end + 1;
        const std::string index = line.substr(0, line.find('\t'));
        if (!index.empty())
            Output("pactl move-sink-input " + index + " " + sink + " 2>/dev/null");
    }
}

// Sums what the songs of one run hold against the program.
RunFigures Place(const NoisePlacement& program, const TempFolder& folder, bool verbose)
{
    std::vector<NoisePlacement::Result> songs;
    for (const std::string& file : folder.Files()) {
        NoisePlacement::Result r = program.PlaceFile(folder.Path() + file);
        if (verbose)
            std::printf("      %s %s\n", file.c_str(), r.Describe().c_str());
        if (r.placed)
            songs.push_back(r);
    }
    RunFigures f;
    f.songs = static_cast<int>(songs.size());
    const double programMs = program.Seconds() * 1000;
    if (songs.empty()) {
        f.endsMs = programMs;
        return f;
    }
    std::sort(songs.begin(), songs.end(), [](const auto& a, const auto& b) { return a.firstMs < b.firstMs; });
    f.endsMs = songs.front().firstMs + std::max(0.0, programMs - songs.back().lastMs);
    for (size_t i = 0; i < songs.size(); ++i) {
        f.missingMs += songs[i].missingMs;
        f.repeatedMs += songs[i].repeatedMs;
        f.silenceMs += songs[i].silenceMs;
        if (i > 0) {
            const double step = songs[i].firstMs - songs[i - 1].lastMs;
            (step > 0 ? f.missingMs : f.repeatedMs) += std::abs(step);
        }
    }
    return f;
}

bool AllSongsEnded(const std::vector<NotificationLog::Entry>& e)
{
    auto count = [&](int code) { return std::count_if(e.begin(), e.end(), [code](const auto& x) { return x.code == code; }); };
    return count(4) >= count(2);
}

// One engine recording WAV from the default output, as the program sets it up.
class Recording {
public:
    explicit Recording(const TempFolder& folder)
    {
        engine = CSonacapBase::GetInstance();
        engine->RegCallback(NotificationLog::Callback, &log);
        engine->SetTextParam(3, folder.Path().c_str());
        // Every stretch of sound of a second or more is kept as a song, so
        // nothing the engine recorded goes uncounted.
        engine->SetIntParam(2, 1);
    }
    ~Recording() { CSonacapBase::Release(engine); }
    bool Open()
    {
        return engine->SelectMode(1, kCd, nullptr) == 0 &&
               log.WaitFor([](const auto& e) { return std::count_if(e.begin(), e.end(), [](const auto& x) { return x.code == 1; }) >= 5; });
    }
    bool Start() { return engine->Start(0, 1, 0) == 0; }
    void Stop()
    {
        engine->Stop();
        log.WaitFor(AllSongsEnded, std::chrono::seconds(10));
    }

private:
    NotificationLog log;
    CSonacapBase* engine = nullptr;
};

void SleepUntil(Clock::time_point t)
{
    std::this_thread::sleep_until(t);
}

enum class Case { SwitchAB, SwitchBA, New, Freeze };

RunFigures RunOnce(Case c, PrivateSoundServer& server, const NoisePlacement& program, bool verbose)
{
    TempFolder folder;
    std::unique_ptr<NullOutput> other;
    if (c == Case::SwitchAB || c == Case::SwitchBA)
        other = std::make_unique<NullOutput>(kOther, kOtherDescription, 48000, c == Case::SwitchBA);
    RunFigures failed;
    failed.songs = -1;
    Recording recording(folder);
    if (!recording.Open() || !recording.Start()) {
        std::printf("      the engine did not start\n");
        return failed;
    }
    {
        const auto t0 = Clock::now();
        Player player("", program.Rate(), program.Channels(), program.Pcm());
        switch (c) {
        case Case::SwitchAB:
            SleepUntil(t0 + std::chrono::seconds(8));
            SwitchTo(kOther);
            break;
        case Case::SwitchBA:
            SleepUntil(t0 + std::chrono::seconds(8));
            SwitchTo("test_out");
            break;
        case Case::New:
            SleepUntil(t0 + std::chrono::seconds(7));
            other = std::make_unique<NullOutput>(kOther, kOtherDescription, 48000, false);
            SleepUntil(t0 + std::chrono::seconds(8));
            SwitchTo(kOther);
            break;
        case Case::Freeze:
            SleepUntil(t0 + std::chrono::seconds(8));
            server.Freeze();
            SleepUntil(t0 + std::chrono::seconds(23));
            server.Thaw();
            break;
        }
        player.Join();
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    recording.Stop();
    return Place(program, folder, verbose);
}

void IdleStates(const std::string& serverName)
{
    // Two outputs, as on a machine with speakers and headphones.
    NullOutput other(kOther, kOtherDescription, 48000, false);
    if (serverName == "pulseaudio")
        ServerCommand([](PulseSession& s) { return s.LoadModule("module-suspend-on-idle", "", nullptr); });
    auto print = [&](const char* when) {
        ServerView view;
        std::string states;
        if (ReadServerView(&view)) {
            for (const ServerView::Sink& s : view.sinks)
                states += " " + s.name + "=" + s.state;
        }
        std::printf("%-10s idle      %-34s%s\n", serverName.c_str(), when, states.c_str());
        std::fflush(stdout);
    };
    std::this_thread::sleep_for(std::chrono::seconds(10));
    print("without the engine (10 s):");
    {
        TempFolder folder;
        Recording recording(folder);
        if (!recording.Open())
            std::printf("      the engine did not start\n");
        std::this_thread::sleep_for(std::chrono::seconds(10));
        print("engine open and idle (10 s):");
    }
    std::this_thread::sleep_for(std::chrono::seconds(10));
    print("engine closed (10 s):");
}

struct Options {
    std::vector<std::string> servers{"pulseaudio", "pipewire"};
    int runs = 10;
    int freezeRuns = 3;
    std::vector<std::string> cases;
    bool verbose = false;
};

bool Wanted(const Options& o, const char* name)
{
    return o.cases.empty() || std::find(o.cases.begin(), o.cases.end(), name) != o.cases.end();
}

} // namespace

int main(int argc, char** argv)
{
    Options o;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        const bool hasValue = i + 1 < argc;
        if (a == "--server" && hasValue) {
            const std::string v = argv[++i];
            o.servers = v == "both" ? std::vector<std::string>{"pulseaudio", "pipewire"} : std::vector<std::string>{v};
        } else if (a == "--runs" && hasValue) {
            o.runs = std::atoi(argv[++i]);
        } else if (a == "--freeze-runs" && hasValue) {
            o.freezeRuns = std::atoi(argv[++i]);
        } else if (a == "--case" && hasValue) {
            o.cases.push_back(argv[++i]);
        } else if (a == "--verbose") {
            o.verbose = true;
        } else {
            std::fprintf(stderr,
                         "usage: %s [--server pulseaudio|pipewire|both] [--runs N] [--freeze-runs N] "
                         "[--case switch-ab|switch-ba|new|freeze|idle]... [--verbose]\n",
                         argv[0]);
            return 2;
        }
    }
    // A player whose server went away must not end the benchmark.
    signal(SIGPIPE, SIG_IGN);
    TempFolder work;
    InitSonacapModule(work.Path().c_str(), work.Path().c_str());
    const NoisePlacement song(kSeed, 20);
    const NoisePlacement longSong(kSeed + 1, 30);
    double load[1] = {0};
    getloadavg(load, 1);
    std::printf("loopback switch benchmark: %d runs per switch case, %d freeze runs, load %.1f on %ld cores\n", o.runs,
                o.freezeRuns, load[0], sysconf(_SC_NPROCESSORS_ONLN));
    std::printf("%-10s %-9s        min / median / max\n", "server", "case");
    for (const std::string& name : o.servers) {
        setenv("SONACAP_SOUND_SERVER", name.c_str(), 1);
        PrivateSoundServer server;
        if (!server.Ok()) {
            std::printf("%-10s the private server did not start\n", name.c_str());
            continue;
        }
        struct Named {
            const char* name;
            Case c;
            const NoisePlacement* program;
            int runs;
        };
        const Named cases[] = {{"switch-ab", Case::SwitchAB, &song, o.runs},
                               {"switch-ba", Case::SwitchBA, &song, o.runs},
                               {"new", Case::New, &song, o.runs},
                               {"freeze", Case::Freeze, &longSong, o.freezeRuns}};
        for (const Named& n : cases) {
            if (!Wanted(o, n.name) || n.runs <= 0)
                continue;
            std::vector<RunFigures> runs;
            for (int r = 0; r < n.runs; ++r) {
                const RunFigures f = RunOnce(n.c, server, *n.program, o.verbose);
                std::printf("      %s %s run %d: songs %d, missing %.1f ms, repeated %.1f ms, silence %.1f ms, "
                            "ends %.1f ms\n",
                            name.c_str(), n.name, r + 1, f.songs, f.missingMs, f.repeatedMs, f.silenceMs, f.endsMs);
                std::fflush(stdout);
                if (f.songs >= 0)
                    runs.push_back(f);
            }
            PrintSummary(name, n.name, runs);
        }
        if (Wanted(o, "idle"))
            IdleStates(name);
    }
    return 0;
}
