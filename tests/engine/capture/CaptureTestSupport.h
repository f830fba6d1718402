#pragma once

// Helpers for the capture tests: they drive the private sound server that the
// test fixture starts (PULSE_SERVER points at it), never the machine's own.

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "Sonacap.h"

// One stretch of a test program: a tone (frequency in Hz) or silence (0).
struct Segment {
    double seconds;
    double frequency;
};

// Interleaved 16-bit PCM of the program.
std::vector<int16_t> RenderProgram(const std::vector<Segment>& program, int rate, int channels);

// A rising tone whose frequency tells which moment of the program a stretch of
// a recording holds: kSweepStartHz at program time 0, kSweepHzPerSecond more
// each second. The program from `from` to `from + seconds`.
constexpr double kSweepStartHz = 300;
constexpr double kSweepHzPerSecond = 200;
std::vector<int16_t> RenderSweep(double from, double seconds, int rate, int channels);

// Where a recording of the sweep comes from. Silence in the recording counts
// as neither loss nor repeat; the program time is what the sound says.
struct SweepTrace {
    bool found = false;
    double first = 0;       // program time (s) of the first and last sound
    double last = 0;
    double lostMs = 0;      // the largest jump forward of the program: sound missing
    double repeatedMs = 0;  // the largest jump back: sound recorded twice
};
SweepTrace TraceSweep(const std::string& wavPath);

// Plays PCM into a sink on its own thread; Join waits until all of it was
// played. An empty sink name plays to the default output, and the server
// moves the stream along when the default changes, as on a desktop.
class Player {
public:
    Player(const std::string& sink, int rate, int channels, std::vector<int16_t> pcm);
    ~Player();
    void Join();
    bool Ok() const { return ok; }

private:
    std::thread thread;
    bool ok = true;
};

// Feeds PCM into the fixture's FIFO source (test_in) on its own thread, or
// into the FIFO at `fifo` (a private server's).
class FifoFeeder {
public:
    explicit FifoFeeder(std::vector<int16_t> pcm, const std::string& fifo = std::string());
    ~FifoFeeder();
    void Join();
    bool Ok() const { return ok; }

private:
    std::thread thread;
    bool ok = true;
};

// A null sink for the object's lifetime, made the default output when asked;
// the fixture's test_out is the default again afterwards.
class NullOutput {
public:
    NullOutput(const std::string& name, const std::string& description, int rate, bool makeDefault);
    ~NullOutput();
    NullOutput(const NullOutput&) = delete;
    NullOutput& operator=(const NullOutput&) = delete;
    bool Ok() const { return index != UINT32_MAX; }

private:
    uint32_t index = UINT32_MAX;
};

// A 48 kHz output that becomes the default, as headphones that are plugged in.
class Output48 : public NullOutput {
public:
    static constexpr const char* kSink = "capture_out48";
    static constexpr const char* kDescription = "Capture48";
    Output48() : NullOutput(kSink, kDescription, 48000, true) {}
};

// Runs a server command on a short connection; false on any failure.
bool ServerCommand(const std::function<bool(class PulseSession&)>& command);

// The fixture's microphone (test_in) as the server runs it: PulseAudio's pipe
// source sends only what is written into its FIFO, PipeWire's runs at the
// pace of the graph and sends silence while nobody writes.
bool InputSendsOnlyWhatIsFed();

// What the server shows of its record streams and outputs, read on a short
// connection of its own.
struct ServerView {
    std::vector<std::string> recordedSources;  // per record stream, the source it reads
    struct Sink {
        std::string name;
        std::string state;  // "running", "idle" or "suspended"
    };
    std::vector<Sink> sinks;
};
bool ReadServerView(ServerView* view);

// The notifications an engine raised, as the callback saw them.
class NotificationLog {
public:
    struct Entry {
        int code;
        std::string path;   // code 4: the path, empty for null; code 2: the clip's name
        bool isNull;        // code 4 with a null path
        AudioParam format;  // code 0
        int seconds;        // codes 2 and 3: whole seconds in the open song
    };

    static void Callback(void* user, tagSonacapNotify code, void* param);

    std::vector<Entry> Entries();
    // Waits until predicate(entries) holds; false after the time-out.
    bool WaitFor(const std::function<bool(const std::vector<Entry>&)>& predicate,
                 std::chrono::milliseconds timeout = std::chrono::seconds(15));
    int Count(int code);
    void Clear();

    // Codes with runs of 1 and of 3 folded into one entry each, and 4 written
    // as "4p" (path) or "4n" (null), joined by blanks.
    std::string Sequence();

private:
    std::mutex lock;
    std::condition_variable changed;
    std::vector<Entry> entries;
};

// A fresh temporary folder, removed with its files by the destructor.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    const std::string& Path() const { return path; }
    // Plain files in it, sorted.
    std::vector<std::string> Files() const;

private:
    std::string path;
};

// Whole text of a file ("" when missing).
std::string ReadText(const std::string& path);

// The bit rate (kbit/s) of the first MPEG audio frame after an ID3v2 tag; 0 when none.
int Mp3BitRate(const std::string& path);

// Points the sound clients of this process at another server for its lifetime.
class ScopedServer {
public:
    explicit ScopedServer(const char* server);
    ~ScopedServer();

private:
    std::string previous;
    bool hadOld = false;
};
