#include "LoopGrab.h"

#include "PulseSession.h"
#include "Sonacap.h"

#include <algorithm>
#include <memory>
#include <mutex>
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
    bool reconnecting = false;
    pa_usec_t nextAttempt = 0;

    // Following the default output: one server operation at a time runs
    // (server info, then the new output's monitor, then the move of the
    // stream), recheck asks for another round once it ends. Main-loop lock.
    pa_operation* switchOp = nullptr;
    bool recheck = false;
    std::string targetSink, targetMonitor;
};

Grabber& Instance()
{
    static Grabber g;
    return g;
}

void Deliver(Grabber& g, int event, const void* data, size_t size)
{
    if (g.callback)
        g.callback(event, const_cast<void*>(data), static_cast<int>(size), g.user);
}

void DeliverSilence(Grabber& g, size_t bytes)
{
    while (bytes > 0) {
        size_t n = std::min(bytes, g.zeros.size());
        Deliver(g, 2, g.zeros.data(), n);
        bytes -= n;
    }
}

void ReadCallback(pa_stream* s, size_t, void* userdata)
{
    Grabber& g = *static_cast<Grabber*>(userdata);
    while (pa_stream_readable_size(s) > 0) {
        const void* data = nullptr;
        size_t n = 0;
        if (pa_stream_peek(s, &data, &n) < 0 || n == 0)
            break;
        if (g.formatSent) {
            if (g.hung) {
                g.hung = false;
                g.failureSent = false;
                Deliver(g, 5, nullptr, 0);
            }
            if (data)
                Deliver(g, 2, data, n);
            else
                DeliverSilence(g, n);  // a hole in the stream
            g.lastData = g.lastServerData = pa_rtclock_now();
        }
        pa_stream_drop(s);
    }
}

void CheckDefaultOutput(Grabber& g);
void Subscribe(Grabber& g);

// The capture stops: event 4 once, and a stream that is gone is made again.
void CaptureLost(Grabber& g, bool streamGone)
{
    if (!g.failureSent) {
        g.failureSent = true;
        Deliver(g, 4, nullptr, 0);
    }
    if (streamGone) {
        g.hung = false;
        if (!g.lost) {
            g.lost = true;
            g.nextAttempt = pa_rtclock_now();
        }
    } else {
        g.hung = true;
    }
}

void StreamStateCallback(pa_stream* s, void* userdata)
{
    Grabber& g = *static_cast<Grabber*>(userdata);
    pa_stream_state_t state = pa_stream_get_state(s);
    if (state == PA_STREAM_READY && !g.formatSent) {
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
    } else if (!PA_STREAM_IS_GOOD(state) && g.formatSent) {
        // Our own closes detach this callback first: this is the server's doing.
        CaptureLost(g, true);
    }
    if (g.session)
        g.session->Signal();
}

void ReadCallback(pa_stream* s, size_t, void* userdata);

// Main-loop thread, lock held: a new stream on the default output's monitor,
// in the format announced at the start (the server converts).
void OpenStreamAgain(Grabber& g)
{
    if (g.switchOp) {
        pa_operation_cancel(g.switchOp);
        pa_operation_unref(g.switchOp);
        g.switchOp = nullptr;
    }
    g.recheck = false;
    PulseSession::CloseStream(&g.stream);
    g.stream = g.session->StartRecordStream("Sonacap loopback", kDefaultMonitor, g.spec, kFragmentUsec,
                                            PA_STREAM_ADJUST_LATENCY, StreamStateCallback, ReadCallback, &g);
    if (!g.stream)
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
    if (g.formatSent && now - g.lastData >= gap) {
        size_t bytes = pa_usec_to_bytes(std::min(now - g.lastData, kMaxFillUsec), &g.spec);
        DeliverSilence(g, bytes);
        g.lastData = now;
    }
    if (g.lost)
        TryToRecover(g, now);
    pa_context_rttime_restart(g.session->Context(), e, now + kFillerPeriodUsec);
}

// The default output can change while recording (headphones plugged in, a
// Bluetooth headset connecting); the stream then moves to the new output's
// monitor so the music is not lost. The stream keeps the sample spec it
// was made with and the server resamples, so the format already reported
// stays true. Everything here runs on the main-loop thread with the lock held
// and never waits.

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

void MovedCallback(pa_context*, int success, void* userdata)
{
    Grabber& g = *static_cast<Grabber*>(userdata);
    if (!EndSwitchStep(g))
        return;
    if (success) {
        g.sink = g.targetSink;
        g.monitor = g.targetMonitor;
    }
    SwitchRoundDone(g);
}

void NewSinkCallback(pa_context* c, const pa_sink_info* info, int eol, void* userdata)
{
    Grabber& g = *static_cast<Grabber*>(userdata);
    if (!eol) {
        if (info && info->monitor_source_name)
            g.targetMonitor = info->monitor_source_name;
        return;
    }
    if (!EndSwitchStep(g))
        return;
    if (eol > 0 && !g.targetMonitor.empty() && g.targetMonitor != g.monitor) {
        g.switchOp = pa_context_move_source_output_by_name(c, pa_stream_get_index(g.stream), g.targetMonitor.c_str(),
                                                           MovedCallback, &g);
        if (g.switchOp)
            return;
    } else if (eol > 0 && g.targetMonitor == g.monitor) {
        g.sink = g.targetSink;
    }
    SwitchRoundDone(g);
}

void ServerInfoCallback(pa_context* c, const pa_server_info* info, void* userdata)
{
    Grabber& g = *static_cast<Grabber*>(userdata);
    if (!EndSwitchStep(g))
        return;
    if (info && info->default_sink_name && *info->default_sink_name && g.sink != info->default_sink_name) {
        g.targetSink = info->default_sink_name;
        g.targetMonitor.clear();
        g.switchOp = pa_context_get_sink_info_by_name(c, g.targetSink.c_str(), NewSinkCallback, &g);
        if (g.switchOp)
            return;
    }
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

void SubscribeCallback(pa_context*, pa_subscription_event_type_t type, uint32_t, void* userdata)
{
    if ((type & PA_SUBSCRIPTION_EVENT_FACILITY_MASK) == PA_SUBSCRIPTION_EVENT_SERVER)
        CheckDefaultOutput(*static_cast<Grabber*>(userdata));
}

// Follows changes of the default output on the session's (current) context.
void Subscribe(Grabber& g)
{
    pa_context* c = g.session->Context();
    pa_context_set_subscribe_callback(c, SubscribeCallback, &g);
    if (pa_operation* op = pa_context_subscribe(c, PA_SUBSCRIPTION_MASK_SERVER, nullptr, nullptr))
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
    g.lost = g.hung = g.reconnecting = false;
    g.stream = s.ConnectRecordStream("Sonacap loopback", g.monitor.c_str(), g.spec, kFragmentUsec,
                                     PA_STREAM_ADJUST_LATENCY, StreamStateCallback, ReadCallback, &g);
    if (!g.stream)
        return kErrSystem;
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
