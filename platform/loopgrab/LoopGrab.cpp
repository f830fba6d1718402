#include "LoopGrab.h"

#include "PulseSession.h"
#include "Sonacap.h"

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace {

// kErrSystem and kErrNoDevice are the engine's own codes.
constexpr int kErrOrder = -4096;
// Blocks the server hands over: small enough that the engine's 20 ms clips
// see fresh data, large enough to keep wake-ups few.
constexpr pa_usec_t kFragmentUsec = 20 * PA_USEC_PER_MSEC;
// A gap this long without data from a suspended (or failed) output is filled
// with silence, so an open song still ends on silence.
constexpr pa_usec_t kGapUsec = 200 * PA_USEC_PER_MSEC;
// While the output runs, the server delivers its own silence when nothing
// plays; a short stall of the server or of this thread must then add nothing,
// because the data it held back still arrives and silence put in front of it
// would cut the song in two. Only a gap this long counts as an outage.
constexpr pa_usec_t kStallUsec = PA_USEC_PER_SEC;
constexpr pa_usec_t kFillerPeriodUsec = 100 * PA_USEC_PER_MSEC;
constexpr pa_usec_t kMaxFillUsec = PA_USEC_PER_SEC;
// A running output whose server sends nothing this long is hung: capture is
// reported lost until data comes again.
constexpr pa_usec_t kHungUsec = 3 * PA_USEC_PER_SEC;
// A lost server is looked for this often; one attempt waits at most this long.
constexpr pa_usec_t kReconnectPeriodUsec = PA_USEC_PER_SEC;
constexpr int kReconnectTimeoutMs = 2000;
// Where a reconnected stream records: whatever output is the default then.
constexpr const char* kDefaultMonitor = "@DEFAULT_MONITOR@";
// The streams that capture an output ask the server not to move them to
// another one: some servers move the stream on the default output's monitor
// along with the default, a few cycles after the player, so its sound would
// go missing for those cycles, while the standby stream of the new output
// has heard the player from the moment it arrived.
constexpr pa_stream_flags_t kCaptureFlags =
    static_cast<pa_stream_flags_t>(PA_STREAM_ADJUST_LATENCY | PA_STREAM_DONT_MOVE);
// What a standby stream keeps of its latest sound, to pick up a moved player
// from the moment it arrived. A sink that has just appeared renders well
// ahead of time when the player arrives, and the server tells us of the new
// default only after that: far more than the default switch itself takes.
constexpr pa_usec_t kRecentUsec = PA_USEC_PER_SEC;
// 16-bit samples within this bound are silence, as the engine counts them.
constexpr int kQuietSample = 10;
// Where the new output's sound is matched against the end of the old one's:
// this many frames (about 6 ms), which must be loud enough to tell places
// apart. The two outputs may run at other rates than the capture, so the same
// sound reaches us resampled twice and differs in every sample: the match is
// the place of the highest correlation, and only one this close counts.
constexpr size_t kProbeFrames = 256;
constexpr int kProbeLoudness = 100;
constexpr double kMatchCorrelation = 0.9;
// During a switch both outputs' sound is held until the old one's has ended
// (this much quiet after its last loud sample) and this much of the new one's
// is loud, enough to find where it continues the old; at most kJoinLimitUsec.
constexpr pa_usec_t kJoinQuietUsec = 20 * PA_USEC_PER_MSEC;
constexpr pa_usec_t kJoinLoudUsec = 100 * PA_USEC_PER_MSEC;
constexpr pa_usec_t kJoinLimitUsec = 300 * PA_USEC_PER_MSEC;
// A sink that starts without a listener renders this far ahead at once, and
// a listener that comes later hears nothing of it until that time has passed.
// A player moved onto it meanwhile loses the start of its sound there (the
// server drops what it had rendered of it on the old output). So an output
// that appeared this short a while ago, and plays nothing yet, is suspended
// and resumed once its standby stream listens: it then starts again at the
// pace its listener asks for.
constexpr pa_usec_t kFreshSinkUsec = 2 * PA_USEC_PER_SEC;

// A stream kept on the monitor of an output that is not the default, so that
// the output already has a listener when it becomes the default. A sink only
// renders ahead as far as its listeners ask: one without any renders up to
// two seconds at once when a player is moved onto it, and a stream that comes
// later never gets those seconds. Standby streams let the output suspend.
struct Standby {
    std::string sink;
    std::string monitor;
    pa_stream* stream = nullptr;
    std::vector<unsigned char> recent;  // its latest kRecentUsec of sound
    bool restartSink = false;           // restart the fresh sink once the stream is ready
};

struct Grabber {
    // Serialises the WAS_* calls (the caller's thread).
    std::mutex apiLock;
    std::unique_ptr<PulseSession> session;
    WAS_Callback callback = nullptr;
    void* user = nullptr;
    // The output being captured and its monitor source. Set by WAS_Init and
    // WAS_Start while no stream exists; while one runs, only the main-loop
    // callbacks that follow the default output change them (lock held).
    std::string monitor;
    std::string sink;

    // Touched by the WAS_* calls and by the main-loop callbacks, always with
    // the main-loop lock held.
    pa_stream* stream = nullptr;
    // Songs are being recorded (WAS_Record): only then do other outputs get
    // standby streams, which keep them from suspending on some servers.
    bool recording = false;
    // Frames handed on since WAS_Start, the capture's own clock for the log.
    uint64_t framesGiven = 0;
    pa_time_event* filler = nullptr;
    pa_sample_spec spec{};
    AudioParam format{};
    bool formatSent = false;
    bool failureSent = false;
    pa_usec_t lastData = 0;        // when data was last handed on (rtclock)
    pa_usec_t lastServerData = 0;  // when the server last sent data
    std::vector<unsigned char> zeros;
    // Capture loss (event 4 sent): `lost` when the stream is gone and is
    // being made again, `hung` when the stream lives but the server is silent.
    bool lost = false;
    bool hung = false;
    // The captured output went away and a stream on the default output's
    // monitor is connecting in its place (no loss is reported for it).
    bool replacing = false;
    // The captured output went away and the news of the new default is
    // awaited (since when): its standby stream takes over then.
    bool orphaned = false;
    pa_usec_t orphanedSince = 0;
    bool reconnecting = false;
    pa_usec_t nextAttempt = 0;

    // Following the default output: one server operation at a time runs
    // (server info, then the list of outputs), recheck asks for another
    // round once it ends. Main-loop lock.
    pa_operation* switchOp = nullptr;
    bool recheck = false;
    std::string targetSink;
    // The outputs the last listing found: name and monitor.
    std::vector<std::pair<std::string, std::string>> listed;
    // Outputs that appeared (index, when) and, of the last listing, those
    // that appeared less than kFreshSinkUsec ago and play nothing.
    std::vector<std::pair<uint32_t, pa_usec_t>> appeared;
    std::vector<std::string> freshSinks;
    // One per output other than the captured one (main-loop lock).
    std::vector<Standby> standbys;
    // The latest kRecentUsec given on from the captured stream, kept while
    // there are standby streams (main-loop lock).
    std::vector<unsigned char> given;
    // A switch under way (main-loop lock): the new output's stream with its
    // sound so far (`incoming.recent`), and what the old output gave since,
    // both held until it is clear where the one ends and the other goes on.
    bool joining = false;
    pa_usec_t joinSince = 0;
    Standby incoming;
    std::vector<unsigned char> oldHeld;
    std::string oldSink, oldMonitor;
};

Grabber& Instance()
{
    static Grabber g;
    return g;
}

void Deliver(Grabber& g, int event, const void* data, size_t size)
{
    if (event == 2 && g.spec.channels > 0)
        g.framesGiven += size / (2u * g.spec.channels);
    if (g.callback)
        g.callback(event, const_cast<void*>(data), static_cast<int>(size), g.user);
}

// A line for the engine's log (event 6), led by where in the capture it
// happens.
void Note(Grabber& g, const char* format, ...) __attribute__((format(printf, 2, 3)));
void Note(Grabber& g, const char* format, ...)
{
    char line[512];
    const double at = g.spec.rate > 0 ? static_cast<double>(g.framesGiven) / g.spec.rate : 0;
    int used = std::snprintf(line, sizeof line, "at %.3f s: ", at);
    va_list args;
    va_start(args, format);
    std::vsnprintf(line + used, sizeof line - static_cast<size_t>(used), format, args);
    va_end(args);
    Deliver(g, 6, line, std::strlen(line) + 1);
}

double Ms(Grabber& g, size_t bytes)
{
    return static_cast<double>(pa_bytes_to_usec(bytes, &g.spec)) / PA_USEC_PER_MSEC;
}

void DeliverSilence(Grabber& g, size_t bytes)
{
    while (bytes > 0) {
        size_t n = std::min(bytes, g.zeros.size());
        Deliver(g, 2, g.zeros.data(), n);
        bytes -= n;
    }
}

Standby* FindStandby(Grabber& g, pa_stream* s)
{
    for (Standby& b : g.standbys) {
        if (b.stream == s)
            return &b;
    }
    return nullptr;
}

Standby* FindStandby(Grabber& g, const std::string& sink)
{
    for (Standby& b : g.standbys) {
        if (b.sink == sink)
            return &b;
    }
    return nullptr;
}

// Appends a block of a stream; a hole counts as silence.
void Append(std::vector<unsigned char>& to, const void* data, size_t n)
{
    if (data)
        to.insert(to.end(), static_cast<const unsigned char*>(data), static_cast<const unsigned char*>(data) + n);
    else
        to.insert(to.end(), n, 0);
}

// Keeps the latest kRecentUsec of a stream in `r`; a hole counts as silence.
void KeepRecent(Grabber& g, std::vector<unsigned char>& r, const void* data, size_t n)
{
    const size_t cap = pa_usec_to_bytes(kRecentUsec, &g.spec);
    if (n >= cap) {
        r.assign(cap, 0);
        if (data)
            std::memcpy(r.data(), static_cast<const unsigned char*>(data) + (n - cap), cap);
        return;
    }
    if (r.size() + n > cap)
        r.erase(r.begin(), r.begin() + static_cast<std::ptrdiff_t>(r.size() + n - cap));
    Append(r, data, n);
}

void TryToJoin(Grabber& g, pa_usec_t now);

void ReadCallback(pa_stream* s, size_t, void* userdata)
{
    Grabber& g = *static_cast<Grabber*>(userdata);
    const pa_usec_t now = pa_rtclock_now();
    // The captured stream, or (while it connects) one that is no standby; the
    // new output's during a switch counts as a standby whose sound is held.
    Standby* standby = s == g.stream ? nullptr
                       : g.joining && s == g.incoming.stream ? &g.incoming
                                                             : FindStandby(g, s);
    const bool active = !standby;
    if (active && g.formatSent && g.hung) {
        g.hung = false;
        g.failureSent = false;
        Deliver(g, 5, nullptr, 0);
    }
    while (pa_stream_readable_size(s) > 0) {
        const void* data = nullptr;
        size_t n = 0;
        if (pa_stream_peek(s, &data, &n) < 0 || n == 0)
            break;
        if (active && g.formatSent) {
            if (g.joining) {
                Append(g.oldHeld, data, n);
                TryToJoin(g, now);
            } else {
                if (!g.standbys.empty())
                    KeepRecent(g, g.given, data, n);
                if (data) {
                    Deliver(g, 2, data, n);
                } else {
                    // The server lost that much of the output's sound.
                    Note(g, "a hole of %.1f ms in the stream from %s, given as silence", Ms(g, n), g.monitor.c_str());
                    DeliverSilence(g, n);
                }
            }
            g.lastData = g.lastServerData = now;
        } else if (standby == &g.incoming) {
            Append(g.incoming.recent, data, n);
            TryToJoin(g, now);
        } else if (standby) {
            KeepRecent(g, standby->recent, data, n);
        }
        pa_stream_drop(s);
    }
}

void CheckDefaultOutput(Grabber& g);
void Subscribe(Grabber& g);
void GiveOn(Grabber& g, const unsigned char* data, size_t bytes);
void StreamMovedCallback(pa_stream* s, void* userdata);
void OpenStandby(Grabber& g, const std::string& sink, const std::string& monitor);

// A switch under way is dropped with its held sound (capture stops).
void DropJoin(Grabber& g)
{
    PulseSession::CloseStream(&g.incoming.stream);
    g.incoming = Standby();
    g.oldHeld.clear();
    g.joining = false;
    g.orphaned = false;
}

void CloseStandbys(Grabber& g)
{
    for (Standby& b : g.standbys)
        PulseSession::CloseStream(&b.stream);
    g.standbys.clear();
}

// The capture stops: event 4 once, and a stream that is gone is made again.
void CaptureLost(Grabber& g, bool streamGone)
{
    if (!g.failureSent) {
        g.failureSent = true;
        Deliver(g, 4, nullptr, 0);
    }
    if (streamGone) {
        g.hung = false;
        // Made again with the capture once the server is back.
        CloseStandbys(g);
        g.given.clear();
        DropJoin(g);
        if (!g.lost) {
            g.lost = true;
            g.nextAttempt = pa_rtclock_now();
        }
    } else {
        g.hung = true;
    }
}

void FinishJoin(Grabber& g);
void OpenStreamAgain(Grabber& g, const char* source = kDefaultMonitor,
                     pa_stream_flags_t flags = PA_STREAM_ADJUST_LATENCY);

void StreamStateCallback(pa_stream* s, void* userdata)
{
    Grabber& g = *static_cast<Grabber*>(userdata);
    pa_stream_state_t state = pa_stream_get_state(s);
    if (s != g.stream && (FindStandby(g, s) || (g.joining && s == g.incoming.stream))) {
        // A standby stream: one that failed is taken down at the next tick
        // (the new output's during a switch when the switch ends).
        Standby* b = FindStandby(g, s);
        if (b && b->restartSink && state == PA_STREAM_READY) {
            b->restartSink = false;
            pa_context* c = g.session->Context();
            // The server carries out the two in order.
            if (pa_operation* op = pa_context_suspend_sink_by_name(c, b->sink.c_str(), 1, nullptr, nullptr))
                pa_operation_unref(op);
            if (pa_operation* op = pa_context_suspend_sink_by_name(c, b->sink.c_str(), 0, nullptr, nullptr))
                pa_operation_unref(op);
            Note(g, "output %s appeared a moment ago and plays nothing: restarted, so that its standby stream hears "
                    "a player moved onto it at once", b->sink.c_str());
        }
    } else if (state == PA_STREAM_READY && !g.formatSent) {
        const pa_sample_spec* ss = pa_stream_get_sample_spec(s);
        if (ss)
            g.spec = *ss;
        g.format = AudioParam{static_cast<int32_t>(g.spec.rate), g.spec.channels, 16, 0,
                              static_cast<int32_t>(g.spec.channels * 2), 1, 0};
        g.zeros.assign(pa_usec_to_bytes(kMaxFillUsec, &g.spec), 0);
        Deliver(g, 0, &g.format, sizeof g.format);
        g.formatSent = true;
        g.lastData = g.lastServerData = pa_rtclock_now();
    } else if (state == PA_STREAM_READY && g.lost) {
        // A stream made again after a loss: it records the default output's
        // monitor, whose name the default-output bookkeeping needs.
        g.lost = false;
        g.failureSent = false;
        g.lastServerData = pa_rtclock_now();
        const char* device = pa_stream_get_device_name(s);
        g.monitor = device ? device : "";
        g.sink.clear();
        Deliver(g, 5, nullptr, 0);
        CheckDefaultOutput(g);
    } else if (state == PA_STREAM_READY && g.replacing) {
        g.replacing = false;
        const char* device = pa_stream_get_device_name(s);
        if (!device || g.monitor != device) {
            g.monitor = device ? device : "";
            g.sink.clear();
        }
        Note(g, "capture goes on from %s", g.monitor.c_str());
        CheckDefaultOutput(g);
    } else if (!PA_STREAM_IS_GOOD(state) && g.formatSent && s == g.stream && !g.lost && !g.replacing && !g.orphaned &&
               pa_context_get_state(g.session->Context()) == PA_CONTEXT_READY) {
        // The server is there but ended the stream: its output went away (the
        // capture streams ask the server not to move them elsewhere itself).
        // A switch under way ends with the new output's stream; otherwise
        // capture goes on at once on whatever output is the default now.
        if (g.joining) {
            Note(g, "output %s went away during the switch to %s", g.oldSink.c_str(), g.sink.c_str());
            FinishJoin(g);
        }
        if (g.stream == s && g.recording && !g.standbys.empty()) {
            // The new default's standby stream has heard the moved player
            // from the moment it arrived there.
            Note(g, "output %s went away", g.sink.c_str());
            g.orphaned = true;
            g.orphanedSince = pa_rtclock_now();
            CheckDefaultOutput(g);
        } else if (g.stream == s) {
            Note(g, "output %s went away", g.sink.c_str());
            g.replacing = true;
            OpenStreamAgain(g);
            if (!g.stream) {
                g.replacing = false;
                CaptureLost(g, true);
            }
        }
    } else if (!PA_STREAM_IS_GOOD(state) && g.formatSent) {
        // Our own closes detach this callback first: this is the server's doing.
        CaptureLost(g, true);
    }
    if (g.session)
        g.session->Signal();
}

// Main-loop thread, lock held: a new stream on the default output's monitor,
// in the format announced at the start (the server converts).
void OpenStreamAgain(Grabber& g, const char* source, pa_stream_flags_t flags)
{
    if (g.switchOp) {
        pa_operation_cancel(g.switchOp);
        pa_operation_unref(g.switchOp);
        g.switchOp = nullptr;
    }
    g.recheck = false;
    g.orphaned = false;
    PulseSession::CloseStream(&g.stream);
    g.stream = g.session->StartRecordStream("Sonacap loopback", source, g.spec, kFragmentUsec, flags,
                                            StreamStateCallback, ReadCallback, &g);
    if (g.stream)
        pa_stream_set_moved_callback(g.stream, StreamMovedCallback, &g);
    else
        g.nextAttempt = pa_rtclock_now() + kReconnectPeriodUsec;
}

void ReconnectDone(Grabber& g, bool ok)
{
    g.reconnecting = false;
    if (!ok) {
        g.nextAttempt = pa_rtclock_now() + kReconnectPeriodUsec;
        return;
    }
    Subscribe(g);
    OpenStreamAgain(g);
}

// From the filler's tick: one step towards capture again.
void TryToRecover(Grabber& g, pa_usec_t now)
{
    if (g.reconnecting || now < g.nextAttempt)
        return;
    if (g.stream && PA_STREAM_IS_GOOD(pa_stream_get_state(g.stream)))
        return;  // a new stream is connecting
    g.nextAttempt = now + kReconnectPeriodUsec;
    pa_context* c = g.session->Context();
    if (c && pa_context_get_state(c) == PA_CONTEXT_READY) {
        // The server is there; only the stream went (its source vanished).
        OpenStreamAgain(g);
        return;
    }
    PulseSession::CloseStream(&g.stream);
    g.reconnecting = g.session->BeginReconnect([&g](bool ok) { ReconnectDone(g, ok); }, kReconnectTimeoutMs);
}

// Standby streams whose output went away (or that failed) are taken down.
void DropFailedStandbys(Grabber& g)
{
    for (auto it = g.standbys.begin(); it != g.standbys.end();) {
        if (it->stream && PA_STREAM_IS_GOOD(pa_stream_get_state(it->stream))) {
            ++it;
            continue;
        }
        PulseSession::CloseStream(&it->stream);
        it = g.standbys.erase(it);
    }
}

void FillerCallback(pa_mainloop_api*, pa_time_event* e, const struct timeval*, void* userdata)
{
    Grabber& g = *static_cast<Grabber*>(userdata);
    pa_usec_t now = pa_rtclock_now();
    // pa_stream_is_suspended: 1 suspended, 0 running, negative when the stream failed.
    const bool running = g.stream && pa_stream_get_state(g.stream) == PA_STREAM_READY &&
                         pa_stream_is_suspended(g.stream) == 0;
    if (running && g.formatSent && !g.failureSent && now - g.lastServerData >= kHungUsec)
        CaptureLost(g, false);
    const pa_usec_t gap = running ? kStallUsec : kGapUsec;
    // A switch holds sound back for moments; silence put in front would cut in.
    if (g.formatSent && !g.joining && now - g.lastData >= gap) {
        size_t bytes = pa_usec_to_bytes(std::min(now - g.lastData, kMaxFillUsec), &g.spec);
        DeliverSilence(g, bytes);
        g.lastData = now;
    }
    TryToJoin(g, now);
    if (g.lost)
        TryToRecover(g, now);
    // No news of a new default with a standby stream: the default output's
    // monitor then, whatever it is.
    if (g.orphaned && !g.joining && now - g.orphanedSince >= kJoinLimitUsec) {
        g.replacing = true;
        OpenStreamAgain(g);
        if (!g.stream) {
            g.replacing = false;
            CaptureLost(g, true);
        }
    }
    DropFailedStandbys(g);
    pa_context_rttime_restart(g.session->Context(), e, now + kFillerPeriodUsec);
}

// The default output can change while recording (headphones plugged in, a
// Bluetooth headset connecting, the user's choice). Capture then continues
// on the new output's monitor so the music is not lost: from the standby
// stream already there when there is one, else from a new stream. Every
// stream keeps the sample spec of the start and the server resamples, so
// the format already reported stays true. Everything here runs on the
// main-loop thread with the lock held and never waits.

// The sink whose monitor `monitor` is, as the last listing found ("" when unknown).
std::string SinkOf(const Grabber& g, const std::string& monitor)
{
    for (const auto& l : g.listed) {
        if (l.second == monitor)
            return l.first;
    }
    return std::string();
}

// The server moved one of our streams to another source by itself, although
// they ask it not to. The captured stream is followed where it went, and a
// switch under way to that same output ends with the old stream's sound, which
// runs on unbroken there. A moved standby is closed and made again where it
// belongs.
void StreamMovedCallback(pa_stream* s, void* userdata)
{
    Grabber& g = *static_cast<Grabber*>(userdata);
    const char* device = pa_stream_get_device_name(s);
    const std::string monitor = device ? device : "";
    if (s == g.stream) {
        if (g.joining && monitor == g.incoming.monitor) {
            const double held = Ms(g, g.oldHeld.size());
            GiveOn(g, g.oldHeld.data(), g.oldHeld.size());
            g.oldHeld.clear();
            PulseSession::CloseStream(&g.incoming.stream);
            g.incoming = Standby();
            g.joining = false;
            Note(g, "output switch from %s to %s made by the server, which moved the capture stream along; "
                    "nothing removed, %.1f ms held meanwhile given on whole",
                 g.oldSink.c_str(), g.sink.c_str(), held);
            OpenStandby(g, g.oldSink, g.oldMonitor);
            return;
        }
        const std::string from = g.joining ? g.oldMonitor : g.monitor;
        Note(g, "the server moved the capture stream from %s to %s", from.c_str(), monitor.c_str());
        if (g.joining) {
            g.oldMonitor = monitor;
            g.oldSink = SinkOf(g, monitor);
        } else {
            g.monitor = monitor;
            g.sink = SinkOf(g, monitor);
        }
        CheckDefaultOutput(g);
        return;
    }
    if (Standby* b = FindStandby(g, s)) {
        Note(g, "the server moved the standby stream of %s to %s; it is made again", b->sink.c_str(),
             monitor.c_str());
        PulseSession::CloseStream(&b->stream);
        g.standbys.erase(g.standbys.begin() + (b - g.standbys.data()));
        CheckDefaultOutput(g);
    } else if (g.joining && s == g.incoming.stream) {
        Note(g, "the server moved the stream of %s, to which the capture is switching, to %s", g.incoming.sink.c_str(),
             monitor.c_str());
    }
}

void OpenStandby(Grabber& g, const std::string& sink, const std::string& monitor)
{
    if (!g.recording || FindStandby(g, sink))
        return;
    const auto flags = static_cast<pa_stream_flags_t>(kCaptureFlags | PA_STREAM_DONT_INHIBIT_AUTO_SUSPEND);
    Standby b;
    b.sink = sink;
    b.monitor = monitor;
    b.restartSink = std::find(g.freshSinks.begin(), g.freshSinks.end(), sink) != g.freshSinks.end();
    b.stream = g.session->StartRecordStream("Sonacap loopback", monitor.c_str(), g.spec, kFragmentUsec, flags,
                                            StreamStateCallback, ReadCallback, &g);
    if (b.stream) {
        pa_stream_set_moved_callback(b.stream, StreamMovedCallback, &g);
        g.standbys.push_back(std::move(b));
    }
}

int16_t SampleAt(const std::vector<unsigned char>& bytes, size_t index)
{
    int16_t v;
    std::memcpy(&v, bytes.data() + index * 2, sizeof v);
    return v;
}

// Index of the first loud sample of `bytes` (its sample count when none).
size_t FirstLoud(const std::vector<unsigned char>& bytes)
{
    const size_t samples = bytes.size() / 2;
    for (size_t i = 0; i < samples; ++i) {
        const int v = SampleAt(bytes, i);
        if (v > kQuietSample || v < -kQuietSample)
            return i;
    }
    return samples;
}

// Samples of `bytes` up to its last loud one, whole frames (0 when none).
size_t ThroughLastLoud(const std::vector<unsigned char>& bytes, size_t channels)
{
    for (size_t i = bytes.size() / 2; i > 0; --i) {
        const int v = SampleAt(bytes, i - 1);
        if (v > kQuietSample || v < -kQuietSample)
            return i + (channels - i % channels) % channels;
    }
    return 0;
}

// Where the new output's sound goes on after the old one's.
struct Splice {
    size_t from = 0;       // sample of `recent` from which it is given on
    bool matched = false;  // the end of the old sound was found in the new
    size_t overlap = 0;    // samples of loud new sound left out as heard before
};

// Frame `frame` of `bytes`, its channels added up.
double FrameSum(const std::vector<unsigned char>& bytes, size_t frame, size_t channels)
{
    double sum = 0;
    for (size_t c = 0; c < channels; ++c)
        sum += SampleAt(bytes, frame * channels + c);
    return sum;
}

// The sample of `recent` (the new output's latest sound) from which it goes
// on after `given` (what the old output gave). The player's sound reached the
// new output a moment before the server told us about the switch, and the
// server starts a moved stream again from what was not yet heard, which the
// old output may already have given a few milliseconds of. So the end of the
// old sound is looked for in the new, where the two correlate best; without
// a clear match the new sound starts at its first loud frame
// (recent.size() / 2 when it has none).
Splice SpliceStart(const std::vector<unsigned char>& given, const std::vector<unsigned char>& recent, size_t channels)
{
    Splice splice;
    const size_t recentFrames = recent.size() / 2 / channels;
    size_t firstLoud = FirstLoud(recent);
    if (firstLoud < recent.size() / 2)
        firstLoud -= firstLoud % channels;
    splice.from = firstLoud;
    // The probe: the last kProbeFrames of the old sound up to its last loud sample.
    const size_t end = ThroughLastLoud(given, channels) / channels;
    if (end < kProbeFrames || end * channels > given.size() / 2 || recentFrames < kProbeFrames)
        return splice;
    const size_t start = end - kProbeFrames;
    std::vector<double> probe(kProbeFrames);
    double probeEnergy = 0;
    double loudest = 0;
    for (size_t k = 0; k < kProbeFrames; ++k) {
        probe[k] = FrameSum(given, start + k, channels);
        probeEnergy += probe[k] * probe[k];
        loudest = std::max(loudest, std::abs(probe[k]) / static_cast<double>(channels));
    }
    if (loudest < kProbeLoudness)
        return splice;
    std::vector<double> mono(recentFrames);
    for (size_t i = 0; i < recentFrames; ++i)
        mono[i] = FrameSum(recent, i, channels);
    double best = kMatchCorrelation;
    size_t bestAt = recentFrames;
    // Running energy of the window of `mono` under the probe.
    double windowEnergy = 0;
    for (size_t k = 0; k < kProbeFrames; ++k)
        windowEnergy += mono[k] * mono[k];
    for (size_t i = 0; i + kProbeFrames <= recentFrames; ++i) {
        if (i > 0)
            windowEnergy += mono[i + kProbeFrames - 1] * mono[i + kProbeFrames - 1] - mono[i - 1] * mono[i - 1];
        if (windowEnergy <= 0)
            continue;
        double dot = 0;
        for (size_t k = 0; k < kProbeFrames; ++k)
            dot += probe[k] * mono[i + k];
        const double correlation = dot / std::sqrt(probeEnergy * windowEnergy);
        // Strictly better only: of equal places (a steady tone) the earliest.
        if (correlation > best + 1e-6) {
            best = correlation;
            bestAt = i;
        }
    }
    if (bestAt == recentFrames)
        return splice;
    splice.matched = true;
    splice.from = (bestAt + kProbeFrames) * channels;
    splice.overlap = splice.from > firstLoud ? splice.from - firstLoud : 0;
    return splice;
}

void GiveOn(Grabber& g, const unsigned char* data, size_t bytes)
{
    if (bytes == 0 || !g.formatSent)
        return;
    Deliver(g, 2, data, bytes);
    if (!g.standbys.empty())
        KeepRecent(g, g.given, data, bytes);
}

// Ends a switch: the old output's sound up to where it ended, then the new
// output's from where it continues it; the new stream is the captured one
// from here on and the old output gets a standby stream.
void FinishJoin(Grabber& g)
{
    const size_t channels = g.spec.channels > 0 ? g.spec.channels : 1;
    const size_t oldSamples = g.oldHeld.size() / 2;
    const size_t through = ThroughLastLoud(g.oldHeld, channels);
    const size_t quiet = pa_usec_to_bytes(kJoinQuietUsec, &g.spec) / 2;
    // Sound that still went on at the old output is all kept.
    const size_t keep = g.orphaned || oldSamples - through >= quiet ? through : oldSamples;
    GiveOn(g, g.oldHeld.data(), keep * 2);
    const double quietLeftOut = Ms(g, (oldSamples - keep) * 2);
    const double took = static_cast<double>(pa_rtclock_now() - g.joinSince) / PA_USEC_PER_MSEC;
    g.oldHeld.clear();
    g.joining = false;
    g.orphaned = false;

    Standby chosen = std::move(g.incoming);
    g.incoming = Standby();
    if (!chosen.stream || pa_stream_get_state(chosen.stream) != PA_STREAM_READY) {
        // The new output's stream failed meanwhile: capture stays where it
        // was and the next round moves it.
        PulseSession::CloseStream(&chosen.stream);
        Note(g, "output switch from %s to %s failed: the new output's stream ended", g.oldSink.c_str(),
             g.sink.c_str());
        g.sink = g.oldSink;
        g.monitor = g.oldMonitor;
        return;
    }
    const std::vector<unsigned char>& r = chosen.recent;
    Splice splice;
    if (FirstLoud(r) < r.size() / 2)
        splice = SpliceStart(g.given, r, channels);
    const size_t from = splice.from;
    if (splice.matched)
        Note(g, "output switch from %s to %s in %.0f ms: the new output's sound joined where the old one's ended, "
                "%.1f ms heard on both removed, %.1f ms of the old output's quiet left out",
             g.oldSink.c_str(), g.sink.c_str(), took, Ms(g, splice.overlap * 2), quietLeftOut);
    else
        Note(g, "output switch from %s to %s in %.0f ms: no place where the new output's sound goes on was found; "
                "it goes on from its first sound (%.1f ms of quiet skipped), %.1f ms of the old output's quiet left out",
             g.oldSink.c_str(), g.sink.c_str(), took, Ms(g, from * 2), quietLeftOut);
    // A captured stream that may inhibit suspending makes way for a standby that does not.
    PulseSession::CloseStream(&g.stream);
    g.stream = chosen.stream;
    if (!g.oldSink.empty() && !g.oldMonitor.empty())
        OpenStandby(g, g.oldSink, g.oldMonitor);
    g.given.clear();
    if (from < r.size() / 2)
        GiveOn(g, r.data() + from * 2, r.size() - from * 2);
}

// During a switch: finishes it once the old output's sound has ended and
// enough of the new one's is loud, or when the time is up.
void TryToJoin(Grabber& g, pa_usec_t now)
{
    if (!g.joining)
        return;
    const size_t channels = g.spec.channels > 0 ? g.spec.channels : 1;
    const size_t oldSamples = g.oldHeld.size() / 2;
    const bool oldEnded = g.orphaned || oldSamples - ThroughLastLoud(g.oldHeld, channels) >=
                                            pa_usec_to_bytes(kJoinQuietUsec, &g.spec) / 2;
    const size_t newSamples = g.incoming.recent.size() / 2;
    const size_t firstLoud = FirstLoud(g.incoming.recent);
    const bool newLoud = firstLoud < newSamples && newSamples - firstLoud >= pa_usec_to_bytes(kJoinLoudUsec, &g.spec) / 2;
    if ((oldEnded && newLoud) || now - g.joinSince >= kJoinLimitUsec)
        FinishJoin(g);
}

// A new default output with a standby stream: the switch starts. The old
// stream goes on until its sound has ended (the player's last moments there
// may still be on their way), the new one's sound is held meanwhile, and
// then the two are joined: nothing of the song is lost, nothing comes twice,
// and the silence of the moments the switch took is left out.
void Promote(Grabber& g, const std::string& sink)
{
    auto it = std::find_if(g.standbys.begin(), g.standbys.end(), [&](const Standby& b) { return b.sink == sink; });
    if (it == g.standbys.end() || !it->stream || pa_stream_get_state(it->stream) != PA_STREAM_READY)
        return;
    // Some servers move the captured stream to the new default themselves;
    // it then already records there and its sound runs on unbroken.
    const char* device = g.stream ? pa_stream_get_device_name(g.stream) : nullptr;
    if (!g.joining && device && it->monitor == device) {
        g.sink = sink;
        g.monitor = device;
        return;
    }
    // A switch back before the last one settled ends that one first.
    if (g.joining)
        FinishJoin(g);
    it = std::find_if(g.standbys.begin(), g.standbys.end(), [&](const Standby& b) { return b.sink == sink; });
    if (it == g.standbys.end())
        return;
    g.incoming = std::move(*it);
    g.standbys.erase(it);
    g.oldSink = g.sink;
    g.oldMonitor = g.monitor;
    g.sink = g.incoming.sink;
    g.monitor = g.incoming.monitor;
    g.oldHeld.clear();
    g.joining = true;
    g.joinSince = pa_rtclock_now();
    TryToJoin(g, g.joinSince);
}

// Standby streams for every listed output but the captured one; none for
// outputs that went away.
void UpdateStandbys(Grabber& g)
{
    if (!g.recording) {
        CloseStandbys(g);
        return;
    }
    for (auto it = g.standbys.begin(); it != g.standbys.end();) {
        const bool listed = std::any_of(g.listed.begin(), g.listed.end(),
                                        [&](const auto& l) { return l.first == it->sink && l.second == it->monitor; });
        if (listed && it->sink != g.sink) {
            ++it;
            continue;
        }
        PulseSession::CloseStream(&it->stream);
        it = g.standbys.erase(it);
    }
    for (const auto& l : g.listed) {
        if (l.first != g.sink && l.second != g.monitor && !l.second.empty() && !FindStandby(g, l.first))
            OpenStandby(g, l.first, l.second);
    }
}

// Ends the running step; true when the caller may start the next one.
bool EndSwitchStep(Grabber& g)
{
    if (g.switchOp) {
        pa_operation_unref(g.switchOp);
        g.switchOp = nullptr;
    }
    return g.stream != nullptr;
}

// A round ended; a change seen meanwhile starts another.
void SwitchRoundDone(Grabber& g)
{
    if (g.recheck && g.stream) {
        g.recheck = false;
        CheckDefaultOutput(g);
    }
}

void SinkListCallback(pa_context*, const pa_sink_info* info, int eol, void* userdata)
{
    Grabber& g = *static_cast<Grabber*>(userdata);
    if (!eol) {
        if (info && info->name && info->monitor_source_name) {
            g.listed.emplace_back(info->name, info->monitor_source_name);
            const pa_usec_t now = pa_rtclock_now();
            const bool fresh = std::any_of(g.appeared.begin(), g.appeared.end(), [&](const auto& a) {
                return a.first == info->index && now - a.second < kFreshSinkUsec;
            });
            if (fresh && info->state != PA_SINK_RUNNING)
                g.freshSinks.emplace_back(info->name);
        }
        return;
    }
    if (!EndSwitchStep(g))
        return;
    if (eol < 0) {
        SwitchRoundDone(g);
        return;
    }
    if (!g.targetSink.empty() && g.targetSink != g.sink) {
        // No standby stream was ready for the new default (songs are not
        // being recorded, or the output has just appeared): a stream on its
        // monitor takes the captured one's place.
        auto it = std::find_if(g.listed.begin(), g.listed.end(), [&](const auto& l) { return l.first == g.targetSink; });
        if (it != g.listed.end() && it->second == g.monitor) {
            g.sink = g.targetSink;
        } else if (it != g.listed.end() && !it->second.empty()) {
            Note(g, "output switch from %s to %s with a new stream (no standby stream was ready there)",
                 g.sink.c_str(), g.targetSink.c_str());
            g.sink = g.targetSink;
            g.monitor = it->second;
            g.replacing = true;
            OpenStreamAgain(g, g.monitor.c_str(), kCaptureFlags);
            if (!g.stream) {
                g.replacing = false;
                CaptureLost(g, true);
                return;
            }
        }
    }
    UpdateStandbys(g);
    SwitchRoundDone(g);
}

void ServerInfoCallback(pa_context* c, const pa_server_info* info, void* userdata)
{
    Grabber& g = *static_cast<Grabber*>(userdata);
    if (!EndSwitchStep(g))
        return;
    g.targetSink = info && info->default_sink_name ? info->default_sink_name : "";
    if (!g.targetSink.empty() && g.targetSink != g.sink)
        Promote(g, g.targetSink);
    // The outputs themselves, for the standby streams (and a move).
    g.listed.clear();
    g.freshSinks.clear();
    g.switchOp = pa_context_get_sink_info_list(c, SinkListCallback, &g);
    if (!g.switchOp)
        SwitchRoundDone(g);
}

void CheckDefaultOutput(Grabber& g)
{
    // A stream made again after a loss checks once it is ready.
    if (!g.stream || g.lost)
        return;
    if (g.switchOp) {
        g.recheck = true;
        return;
    }
    g.switchOp = pa_context_get_server_info(g.session->Context(), ServerInfoCallback, &g);
}

void SubscribeCallback(pa_context*, pa_subscription_event_type_t type, uint32_t index, void* userdata)
{
    Grabber& g = *static_cast<Grabber*>(userdata);
    const auto facility = type & PA_SUBSCRIPTION_EVENT_FACILITY_MASK;
    const auto kind = type & PA_SUBSCRIPTION_EVENT_TYPE_MASK;
    if (facility == PA_SUBSCRIPTION_EVENT_SINK && kind == PA_SUBSCRIPTION_EVENT_NEW) {
        const pa_usec_t now = pa_rtclock_now();
        g.appeared.erase(std::remove_if(g.appeared.begin(), g.appeared.end(),
                                        [&](const auto& a) { return now - a.second >= kFreshSinkUsec; }),
                         g.appeared.end());
        g.appeared.emplace_back(index, now);
    }
    // A new default, or an output that came or went (a volume change is neither).
    if (facility == PA_SUBSCRIPTION_EVENT_SERVER ||
        (facility == PA_SUBSCRIPTION_EVENT_SINK && kind != PA_SUBSCRIPTION_EVENT_CHANGE))
        CheckDefaultOutput(g);
}

// Follows the default output and the list of outputs on the session's
// (current) context.
void Subscribe(Grabber& g)
{
    pa_context* c = g.session->Context();
    pa_context_set_subscribe_callback(c, SubscribeCallback, &g);
    const auto mask = static_cast<pa_subscription_mask_t>(PA_SUBSCRIPTION_MASK_SERVER | PA_SUBSCRIPTION_MASK_SINK);
    if (pa_operation* op = pa_context_subscribe(c, mask, nullptr, nullptr))
        pa_operation_unref(op);
}

void StopLocked(Grabber& g)
{
    if (!g.session)
        return;
    PulseLockGuard guard(g.session.get());
    g.session->CancelReconnect();
    g.reconnecting = false;
    g.lost = false;
    g.hung = false;
    g.replacing = false;
    g.orphaned = false;
    pa_context_set_subscribe_callback(g.session->Context(), nullptr, nullptr);
    if (g.switchOp) {
        pa_operation_cancel(g.switchOp);
        pa_operation_unref(g.switchOp);
        g.switchOp = nullptr;
    }
    g.recheck = false;
    if (g.filler) {
        pa_threaded_mainloop_get_api(g.session->Mainloop())->time_free(g.filler);
        g.filler = nullptr;
    }
    CloseStandbys(g);
    g.given.clear();
    DropJoin(g);
    PulseSession::CloseStream(&g.stream);
    g.formatSent = false;
    g.failureSent = false;
}

void ResetLocked(Grabber& g)
{
    StopLocked(g);
    g.session.reset();
    g.callback = nullptr;
    g.user = nullptr;
    g.monitor.clear();
    g.sink.clear();
    g.recording = false;
}

// Finds the default output, its monitor and its format.
int ReadDefaultOutput(Grabber& g)
{
    std::string sinkName;
    if (!g.session->GetDefaults(&sinkName, nullptr))
        return kErrSystem;
    if (sinkName.empty())
        return kErrNoDevice;
    std::vector<PulseDevice> sinks;
    if (!g.session->ListSinks(&sinks))
        return kErrSystem;
    auto it = std::find_if(sinks.begin(), sinks.end(), [&](const PulseDevice& d) { return d.name == sinkName; });
    if (it == sinks.end() || it->monitorSource.empty())
        return kErrNoDevice;
    g.sink = sinkName;
    g.monitor = it->monitorSource;
    g.spec = it->spec;
    g.spec.format = PA_SAMPLE_S16LE;
    return 0;
}

} // namespace

int WAS_Init(WAS_Callback callback, void* user, const char* /*logDir*/)
{
    Grabber& g = Instance();
    std::lock_guard<std::mutex> api(g.apiLock);
    ResetLocked(g);
    auto session = std::make_unique<PulseSession>("Sonacap loopback");
    if (!session->Connect())
        return kErrSystem;
    g.session = std::move(session);
    int result = ReadDefaultOutput(g);
    if (result != 0) {
        g.session.reset();
        return result;
    }
    g.callback = callback;
    g.user = user;
    return 0;
}

int WAS_Start()
{
    Grabber& g = Instance();
    std::lock_guard<std::mutex> api(g.apiLock);
    if (!g.session)
        return kErrOrder;
    if (g.stream)
        return 0;
    // The default output may have changed since WAS_Init.
    int result = ReadDefaultOutput(g);
    if (result != 0)
        return result;

    PulseSession& s = *g.session;
    PulseLockGuard guard(&s);
    g.formatSent = g.failureSent = false;
    g.framesGiven = 0;
    g.lost = g.hung = g.reconnecting = g.replacing = g.orphaned = false;
    g.stream = s.ConnectRecordStream("Sonacap loopback", g.monitor.c_str(), g.spec, kFragmentUsec, kCaptureFlags,
                                     StreamStateCallback, ReadCallback, &g);
    if (!g.stream)
        return kErrSystem;
    pa_stream_set_moved_callback(g.stream, StreamMovedCallback, &g);
    g.filler = pa_context_rttime_new(s.Context(), pa_rtclock_now() + kFillerPeriodUsec, FillerCallback, &g);
    Subscribe(g);
    // The default may have changed between reading it and subscribing.
    CheckDefaultOutput(g);
    return 0;
}

int WAS_Stop()
{
    Grabber& g = Instance();
    std::lock_guard<std::mutex> api(g.apiLock);
    StopLocked(g);
    return 0;
}

int WAS_Reset()
{
    Grabber& g = Instance();
    std::lock_guard<std::mutex> api(g.apiLock);
    ResetLocked(g);
    return 0;
}

int WAS_Record(int recording)
{
    Grabber& g = Instance();
    std::lock_guard<std::mutex> api(g.apiLock);
    if (!g.session)
        return kErrOrder;
    PulseLockGuard guard(g.session.get());
    g.recording = recording != 0;
    // A switch under way keeps its new output's stream.
    if (!g.recording)
        CloseStandbys(g);
    else
        CheckDefaultOutput(g);
    return 0;
}
