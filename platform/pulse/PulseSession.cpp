#include "PulseSession.h"

#include <atomic>
#include <chrono>
#include <cstring>

namespace {

// Steady-clock milliseconds until which the server counts as hung (0: never).
std::atomic<long long> g_hungUntilMs{0};

long long NowMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

const char* const kHungText = "the sound server does not answer";

bool ContextGood(pa_context* c)
{
    return c && PA_CONTEXT_IS_GOOD(pa_context_get_state(c));
}

void ContextStateCallback(pa_context*, void* user)
{
    static_cast<PulseSession*>(user)->Signal();
}

struct Deadline {
    bool passed = false;
    PulseSession* session = nullptr;
};

void DeadlineCallback(pa_mainloop_api*, pa_time_event*, const struct timeval*, void* user)
{
    auto* d = static_cast<Deadline*>(user);
    d->passed = true;
    d->session->Signal();
}

} // namespace

// State of one synchronous operation. Lives on the caller's stack; the
// operation is cancelled before it goes out of scope, so no callback sees it
// afterwards.
struct PulseSession::Pending {
    PulseSession* session = nullptr;
    bool done = false;
    bool ok = false;
    std::vector<PulseDevice> devices;
    std::vector<PulseModule> modules;
    std::string defaultSink, defaultSource;
    uint32_t index = PA_INVALID_INDEX;
    pa_cvolume volume{};
    bool muted = false;

    void Finish(bool success)
    {
        ok = success;
        done = true;
        session->Signal();
    }
};

namespace {

std::string Text(const char* s) { return s ? s : ""; }

void SuccessCallback(pa_context*, int success, void* user)
{
    static_cast<PulseSession::Pending*>(user)->Finish(success != 0);
}

void ServerInfoCallback(pa_context*, const pa_server_info* info, void* user)
{
    auto* p = static_cast<PulseSession::Pending*>(user);
    if (info) {
        p->defaultSink = Text(info->default_sink_name);
        p->defaultSource = Text(info->default_source_name);
    }
    p->Finish(info != nullptr);
}

// Adds what sinks and sources share; null at the end of the list.
template <typename Info>
PulseDevice* AddDevice(PulseSession::Pending* p, const Info* info, int eol)
{
    if (eol) {
        p->Finish(eol > 0);
        return nullptr;
    }
    PulseDevice d;
    d.index = info->index;
    d.name = Text(info->name);
    d.description = Text(info->description);
    d.spec = info->sample_spec;
    d.map = info->channel_map;
    p->devices.push_back(d);
    p->volume = info->volume;
    p->muted = info->mute != 0;
    return &p->devices.back();
}

void SinkInfoCallback(pa_context*, const pa_sink_info* info, int eol, void* user)
{
    if (PulseDevice* d = AddDevice(static_cast<PulseSession::Pending*>(user), info, eol))
        d->monitorSource = Text(info->monitor_source_name);
}

void SourceInfoCallback(pa_context*, const pa_source_info* info, int eol, void* user)
{
    if (PulseDevice* d = AddDevice(static_cast<PulseSession::Pending*>(user), info, eol))
        d->isMonitor = info->monitor_of_sink != PA_INVALID_INDEX;
}

void ModuleInfoCallback(pa_context*, const pa_module_info* info, int eol, void* user)
{
    auto* p = static_cast<PulseSession::Pending*>(user);
    if (eol) {
        p->Finish(eol > 0);
        return;
    }
    p->modules.push_back(PulseModule{info->index, Text(info->name), Text(info->argument)});
}

void IndexCallback(pa_context*, uint32_t index, void* user)
{
    auto* p = static_cast<PulseSession::Pending*>(user);
    p->index = index;
    p->Finish(index != PA_INVALID_INDEX);
}

} // namespace

PulseSession::PulseSession(const char* name) : clientName(name ? name : "Sonacap") {}

PulseSession::~PulseSession()
{
    Disconnect();
}

void PulseSession::SetError(const std::string& text)
{
    lastError = text;
}

std::string PulseSession::LastError() const
{
    return lastError;
}

bool PulseSession::ServerSeemsHung()
{
    return NowMs() < g_hungUntilMs.load();
}

void PulseSession::MarkServerHung()
{
    g_hungUntilMs = NowMs() + kUnresponsiveMs;
}

bool PulseSession::Connect(int timeoutMs)
{
    Disconnect();
    if (ServerSeemsHung()) {
        SetError(kHungText);
        return false;
    }
    loop = pa_threaded_mainloop_new();
    if (!loop) {
        SetError("cannot create the main loop");
        return false;
    }
    pa_threaded_mainloop_set_name(loop, "pulse-session");
    context = pa_context_new(pa_threaded_mainloop_get_api(loop), clientName.c_str());
    if (!context) {
        SetError("cannot create the context");
        pa_threaded_mainloop_free(loop);
        loop = nullptr;
        return false;
    }
    pa_context_set_state_callback(context, ContextStateCallback, this);
    if (pa_threaded_mainloop_start(loop) < 0) {
        SetError("cannot start the main loop");
        pa_context_unref(context);
        context = nullptr;
        pa_threaded_mainloop_free(loop);
        loop = nullptr;
        return false;
    }
    bool ready = false;
    {
        PulseLockGuard guard(this);
        // A null server lets the library read PULSE_SERVER and the client
        // configuration; no autospawn so a missing server stays missing.
        if (pa_context_connect(context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) {
            SetError(pa_strerror(pa_context_errno(context)));
        } else {
            ready = WaitFor([this] { return pa_context_get_state(context) == PA_CONTEXT_READY; }, timeoutMs);
            if (!ready) {
                int err = pa_context_errno(context);
                if (PA_CONTEXT_IS_GOOD(pa_context_get_state(context))) {
                    // Still connecting after the time-out: the server is there but hung.
                    MarkServerHung();
                    SetError(kHungText);
                } else {
                    SetError(err ? pa_strerror(err) : "cannot connect to the sound server");
                }
            }
        }
    }
    if (!ready)
        Disconnect();
    return ready;
}

void PulseSession::Disconnect()
{
    if (!loop)
        return;
    if (context) {
        Lock();
        CancelReconnect();
        pa_context_set_state_callback(context, nullptr, nullptr);
        pa_context_disconnect(context);
        pa_context_unref(context);
        context = nullptr;
        Unlock();
    }
    pa_threaded_mainloop_stop(loop);
    pa_threaded_mainloop_free(loop);
    loop = nullptr;
}

bool PulseSession::IsConnected()
{
    if (!loop || !context)
        return false;
    PulseLockGuard guard(this);
    return pa_context_get_state(context) == PA_CONTEXT_READY;
}

void PulseSession::Lock()
{
    pa_threaded_mainloop_lock(loop);
}

void PulseSession::Unlock()
{
    pa_threaded_mainloop_unlock(loop);
}

void PulseSession::Signal()
{
    if (loop)
        pa_threaded_mainloop_signal(loop, 0);
}

bool PulseSession::InLoopThread()
{
    return loop && pa_threaded_mainloop_in_thread(loop);
}

bool PulseSession::WaitFor(const std::function<bool()>& done, int timeoutMs)
{
    if (done())
        return true;
    Deadline deadline;
    deadline.session = this;
    pa_time_event* timer = pa_context_rttime_new(context, pa_rtclock_now() + (pa_usec_t)timeoutMs * PA_USEC_PER_MSEC,
                                                 DeadlineCallback, &deadline);
    bool connecting = pa_context_get_state(context) != PA_CONTEXT_READY;
    while (!done() && !deadline.passed) {
        pa_context_state_t state = pa_context_get_state(context);
        if (!PA_CONTEXT_IS_GOOD(state) && !(connecting && state == PA_CONTEXT_UNCONNECTED))
            break;
        pa_threaded_mainloop_wait(loop);
    }
    if (timer)
        pa_threaded_mainloop_get_api(loop)->time_free(timer);
    return done();
}

pa_stream* PulseSession::StartRecordStream(const char* streamName, const char* source, const pa_sample_spec& spec,
                                           pa_usec_t fragmentUsec, pa_stream_flags_t flags,
                                           pa_stream_notify_cb_t state, pa_stream_request_cb_t read, void* user)
{
    if (!context || pa_context_get_state(context) != PA_CONTEXT_READY) {
        SetError("not connected to the sound server");
        return nullptr;
    }
    pa_stream* stream = pa_stream_new(context, streamName, &spec, nullptr);
    if (!stream) {
        SetError(pa_strerror(pa_context_errno(context)));
        return nullptr;
    }
    pa_stream_set_state_callback(stream, state, user);
    pa_stream_set_read_callback(stream, read, user);
    pa_buffer_attr attr;
    attr.maxlength = attr.tlength = attr.prebuf = attr.minreq = static_cast<uint32_t>(-1);
    attr.fragsize = static_cast<uint32_t>(pa_usec_to_bytes(fragmentUsec, &spec));
    if (pa_stream_connect_record(stream, source, &attr, flags) != 0) {
        SetError(pa_strerror(pa_context_errno(context)));
        CloseStream(&stream);
    }
    return stream;
}

pa_stream* PulseSession::ConnectRecordStream(const char* streamName, const char* source, const pa_sample_spec& spec,
                                             pa_usec_t fragmentUsec, pa_stream_flags_t flags,
                                             pa_stream_notify_cb_t state, pa_stream_request_cb_t read, void* user)
{
    pa_stream* stream = StartRecordStream(streamName, source, spec, fragmentUsec, flags, state, read, user);
    if (!stream)
        return nullptr;
    const bool ok = WaitFor([stream] {
                        pa_stream_state_t st = pa_stream_get_state(stream);
                        return st == PA_STREAM_READY || !PA_STREAM_IS_GOOD(st);
                    }) &&
                    pa_stream_get_state(stream) == PA_STREAM_READY;
    if (!ok) {
        if (pa_stream_get_state(stream) == PA_STREAM_CREATING && ContextGood(context)) {
            MarkServerHung();
            SetError(kHungText);
        } else {
            SetError(pa_strerror(pa_context_errno(context)));
        }
        CloseStream(&stream);
    }
    return stream;
}

int PulseSession::LastErrorCode() const
{
    return context ? pa_context_errno(context) : PA_ERR_CONNECTIONREFUSED;
}

bool PulseSession::BeginReconnect(std::function<void(bool)> done, int timeoutMs)
{
    if (!loop || !context || fresh)
        return false;
    pa_mainloop_api* api = pa_threaded_mainloop_get_api(loop);
    fresh = pa_context_new(api, clientName.c_str());
    if (!fresh) {
        SetError("cannot create the context");
        return false;
    }
    reconnectDone = std::move(done);
    pa_context_set_state_callback(fresh, ReconnectStateCallback, this);
    // The timer outlives a failed attempt's context, so it is made on the loop.
    freshTimer = pa_context_rttime_new(context, pa_rtclock_now() + static_cast<pa_usec_t>(timeoutMs) * PA_USEC_PER_MSEC,
                                       ReconnectTimeoutCallback, this);
    // A refusal may be reported while connecting; the answer must still come
    // on the loop, as for any other failure, never from inside this call.
    beginning = true;
    const bool refused = pa_context_connect(fresh, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0 ||
                         !PA_CONTEXT_IS_GOOD(pa_context_get_state(fresh));
    beginning = false;
    if (refused) {
        SetError(pa_strerror(pa_context_errno(fresh)));
        pa_context_set_state_callback(fresh, nullptr, nullptr);
        pa_context_unref(fresh);
        fresh = nullptr;
        if (freshTimer)
            api->time_free(freshTimer);
        freshTimer = pa_context_rttime_new(context, pa_rtclock_now(), ReconnectTimeoutCallback, this);
    }
    if (!freshTimer) {
        CancelReconnect();
        return false;
    }
    return true;
}

void PulseSession::CancelReconnect()
{
    if (freshTimer) {
        pa_threaded_mainloop_get_api(loop)->time_free(freshTimer);
        freshTimer = nullptr;
    }
    if (fresh) {
        pa_context_set_state_callback(fresh, nullptr, nullptr);
        pa_context_disconnect(fresh);
        pa_context_unref(fresh);
        fresh = nullptr;
    }
    reconnectDone = nullptr;
}

void PulseSession::ReconnectStateCallback(pa_context* c, void* user)
{
    auto* self = static_cast<PulseSession*>(user);
    if (self->beginning)
        return;  // BeginReconnect looks at the state itself
    const pa_context_state_t state = pa_context_get_state(c);
    if (state == PA_CONTEXT_READY)
        self->FinishReconnect(true);
    else if (!PA_CONTEXT_IS_GOOD(state))
        self->FinishReconnect(false);
}

void PulseSession::ReconnectTimeoutCallback(pa_mainloop_api*, pa_time_event*, const struct timeval*, void* user)
{
    static_cast<PulseSession*>(user)->FinishReconnect(false);
}

void PulseSession::FinishReconnect(bool ok)
{
    // Lock held: every caller is a main-loop callback.
    std::function<void(bool)> done = std::move(reconnectDone);
    reconnectDone = nullptr;
    if (ok && fresh) {
        if (freshTimer) {
            pa_threaded_mainloop_get_api(loop)->time_free(freshTimer);
            freshTimer = nullptr;
        }
        pa_context_set_state_callback(fresh, ContextStateCallback, this);
        pa_context* old = context;
        context = fresh;
        fresh = nullptr;
        pa_context_set_state_callback(old, nullptr, nullptr);
        pa_context_disconnect(old);
        pa_context_unref(old);
    } else {
        ok = false;
        CancelReconnect();
        SetError("the sound server does not answer");
    }
    Signal();
    if (done)
        done(ok);
}

bool PulseSession::CloseStream(pa_stream** stream)
{
    if (!*stream)
        return true;
    pa_stream_set_read_callback(*stream, nullptr, nullptr);
    pa_stream_set_state_callback(*stream, nullptr, nullptr);
    pa_stream_set_moved_callback(*stream, nullptr, nullptr);
    const bool ok = pa_stream_disconnect(*stream) == 0 || !PA_STREAM_IS_GOOD(pa_stream_get_state(*stream));
    pa_stream_unref(*stream);
    *stream = nullptr;
    return ok;
}

bool PulseSession::RunOperation(pa_operation* op, Pending* pending)
{
    // Lock held by the caller.
    if (!op) {
        SetError(pa_strerror(pa_context_errno(context)));
        return false;
    }
    if (ServerSeemsHung()) {
        pa_operation_cancel(op);
        pa_operation_unref(op);
        SetError(kHungText);
        return false;
    }
    bool finished = WaitFor([pending] { return pending->done; });
    if (!finished) {
        pa_operation_cancel(op);
        if (ContextGood(context)) {
            MarkServerHung();
            SetError(kHungText);
        } else {
            SetError("connection to the sound server lost");
        }
    } else if (!pending->ok) {
        SetError(pa_strerror(pa_context_errno(context)));
    }
    pa_operation_unref(op);
    return finished && pending->ok;
}

bool PulseSession::Run(Pending* pending, const std::function<pa_operation*(Pending*)>& begin)
{
    if (!context)
        return false;
    pending->session = this;
    PulseLockGuard guard(this);
    return RunOperation(begin(pending), pending);
}

bool PulseSession::GetDefaults(std::string* defaultSink, std::string* defaultSource)
{
    Pending p;
    if (!Run(&p, [this](Pending* q) { return pa_context_get_server_info(context, ServerInfoCallback, q); }))
        return false;
    if (defaultSink)
        *defaultSink = p.defaultSink;
    if (defaultSource)
        *defaultSource = p.defaultSource;
    return true;
}

bool PulseSession::ListSinks(std::vector<PulseDevice>* out)
{
    Pending p;
    if (!Run(&p, [this](Pending* q) { return pa_context_get_sink_info_list(context, SinkInfoCallback, q); }))
        return false;
    *out = std::move(p.devices);
    return true;
}

bool PulseSession::ListSources(std::vector<PulseDevice>* out)
{
    Pending p;
    if (!Run(&p, [this](Pending* q) { return pa_context_get_source_info_list(context, SourceInfoCallback, q); }))
        return false;
    *out = std::move(p.devices);
    return true;
}

pa_operation* PulseSession::QueryDevice(bool source, const std::string& name, Pending* pending)
{
    return source ? pa_context_get_source_info_by_name(context, name.c_str(), SourceInfoCallback, pending)
                  : pa_context_get_sink_info_by_name(context, name.c_str(), SinkInfoCallback, pending);
}

bool PulseSession::GetVolume(bool source, const std::string& name, pa_volume_t* volume, bool* muted)
{
    Pending p;
    if (!Run(&p, [&](Pending* q) { return QueryDevice(source, name, q); }) || p.devices.empty())
        return false;
    if (volume)
        *volume = pa_cvolume_max(&p.volume);
    if (muted)
        *muted = p.muted;
    return true;
}

bool PulseSession::SetVolume(bool source, const std::string& name, pa_volume_t volume)
{
    // Every channel of the device gets the level, so its channel count comes first.
    Pending info;
    if (!Run(&info, [&](Pending* q) { return QueryDevice(source, name, q); }) || info.devices.empty())
        return false;
    pa_cvolume cv;
    pa_cvolume_set(&cv, info.devices.front().spec.channels, volume);
    Pending p;
    return Run(&p, [&](Pending* q) {
        return source ? pa_context_set_source_volume_by_name(context, name.c_str(), &cv, SuccessCallback, q)
                      : pa_context_set_sink_volume_by_name(context, name.c_str(), &cv, SuccessCallback, q);
    });
}

bool PulseSession::SetMute(bool source, const std::string& name, bool mute)
{
    Pending p;
    return Run(&p, [&](Pending* q) {
        return source ? pa_context_set_source_mute_by_name(context, name.c_str(), mute, SuccessCallback, q)
                      : pa_context_set_sink_mute_by_name(context, name.c_str(), mute, SuccessCallback, q);
    });
}

bool PulseSession::SetDefaultSink(const std::string& name)
{
    Pending p;
    return Run(&p, [&](Pending* q) { return pa_context_set_default_sink(context, name.c_str(), SuccessCallback, q); });
}

bool PulseSession::SuspendSink(const std::string& name, bool suspend)
{
    Pending p;
    return Run(&p, [&](Pending* q) {
        return pa_context_suspend_sink_by_name(context, name.c_str(), suspend, SuccessCallback, q);
    });
}

bool PulseSession::LoadModule(const std::string& name, const std::string& argument, uint32_t* index)
{
    Pending p;
    if (!Run(&p, [&](Pending* q) {
            return pa_context_load_module(context, name.c_str(), argument.c_str(), IndexCallback, q);
        }))
        return false;
    if (index)
        *index = p.index;
    return true;
}

bool PulseSession::UnloadModule(uint32_t index)
{
    Pending p;
    return Run(&p, [&](Pending* q) { return pa_context_unload_module(context, index, SuccessCallback, q); });
}

bool PulseSession::ListModules(std::vector<PulseModule>* out)
{
    Pending p;
    if (!Run(&p, [this](Pending* q) { return pa_context_get_module_info_list(context, ModuleInfoCallback, q); }))
        return false;
    *out = std::move(p.modules);
    return true;
}
