#include "CPulseAudioRecorder.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "CError.h"
#include "CWinVolume.h"
#include "Log.h"
#include "PulseSession.h"

namespace {

const char* const kSource = "PulseAudioRecorder";
// Small server blocks keep the engine's 20 ms clips fed evenly.
constexpr pa_usec_t kFragmentUsec = 20 * PA_USEC_PER_MSEC;
// A running stream without data this long means a hung server.
constexpr pa_usec_t kQuietUsec = 3 * PA_USEC_PER_SEC;
// A server that takes longer than this to answer a question is hung.
constexpr pa_usec_t kPingTimeoutUsec = 2 * PA_USEC_PER_SEC;
constexpr pa_usec_t kWatchPeriodUsec = 200 * PA_USEC_PER_MSEC;
constexpr pa_usec_t kReconnectPeriodUsec = PA_USEC_PER_SEC;
constexpr int kReconnectTimeoutMs = 2000;

struct CorkResult {
    bool done = false;
    bool ok = false;
    PulseSession* session = nullptr;
};

void CorkDone(pa_stream*, int success, void* userdata)
{
    auto* r = static_cast<CorkResult*>(userdata);
    r->ok = success != 0;
    r->done = true;
    r->session->Signal();
}

} // namespace

IAudioRecorder::IAudioRecorder() : callback(nullptr), user(nullptr) {}

IAudioRecorder::~IAudioRecorder() = default;

CPulseAudioRecorder::CPulseAudioRecorder()
    : stream(nullptr), spec{}, format{}, inputVolume(nullptr), previewVolume(nullptr)
{
}

CPulseAudioRecorder::~CPulseAudioRecorder()
{
    Uninit();
}

void CPulseAudioRecorder::Uninit()
{
    try {
        Stop();
    } catch (...) {
    }
    session.reset();
    delete inputVolume;
    inputVolume = nullptr;
    delete previewVolume;
    previewVolume = nullptr;
}

void CPulseAudioRecorder::Init(AudioParam param, AudioRecorderCallback cb, void* userPointer,
                               const AudioDeviceInfo* input, const AudioDeviceInfo* preview)
{
    callback = cb;
    user = userPointer;
    Uninit();

    auto s = std::make_unique<PulseSession>("Sonacap input");
    if (!s->Connect()) {
        SC_LOG_ERROR(kSource, "CPulseAudioRecorder::Init", "sound server connect failed:%s", s->LastError().c_str());
        ThrowCodedError(kErrSystem);
    }
    std::vector<PulseDevice> sources;
    if (!s->ListSources(&sources)) {
        SC_LOG_ERROR(kSource, "CPulseAudioRecorder::Init", "list sources failed:%s", s->LastError().c_str());
        ThrowCodedError(kErrSystem);
    }
    const int found = MatchDeviceName(
        sources.size(),
        [&sources](size_t i) { return sources[i].isMonitor ? nullptr : sources[i].description.c_str(); },
        input ? input->name : nullptr);
    const PulseDevice* source = found >= 0 ? &sources[static_cast<size_t>(found)] : nullptr;
    if (!source) {
        SC_LOG_ERROR(kSource, "CPulseAudioRecorder::CreateDeviceFilter", "Not find device");
        ThrowCodedError(kErrInvalidDevice);
    }
    session = std::move(s);

    InitAudioRecorderParam(param);

    // A muted recording device would give a song of silence.
    inputVolume = new CWinVolume();
    inputVolume->SetRange(0, 100);
    inputVolume->Open(input, 1);
    if (inputVolume->GetMute())
        inputVolume->SetMute(false);

    if (preview) {
        // No audio is routed to a preview device; its volume is still served.
        previewVolume = new CWinVolume();
        previewVolume->SetRange(0, 100);
        previewVolume->Open(preview, 0);
    }

    ConnectStream(source->name);
    if (callback)
        callback(0, &format, sizeof format, user);
    SC_LOG_INFO(kSource, "CPulseAudioRecorder::Init", "Init success");
}

void CPulseAudioRecorder::InitAudioRecorderParam(const AudioParam& param)
{
    int channels = param.channels, rate = param.samplesPerSec, bits = param.bitsPerSample;
    SC_LOG_DEBUG(kSource, "CPulseAudioRecorder::InitAudioRecorderParam",
                 "Channels=%d,SamplesPerSec=%d,BitsPerSample = %d,FormatTag=%d", channels, rate, bits, 1);
    bool supported = (bits == 8 || bits == 16) && channels >= 1 && channels <= static_cast<int>(PA_CHANNELS_MAX) && rate > 0 &&
                     static_cast<uint32_t>(rate) <= PA_RATE_MAX;
    if (!supported) {
        SC_LOG_ERROR(kSource, "CPulseAudioRecorder::InitAudioRecorderParam",
                     "device not support record param [nChannels=%d,nSamplesPerSec=%d,wBitsPerSample=%d]", channels,
                     rate, bits);
        ThrowCodedError(kErrFormatUnsupported);
    }
    spec.format = bits == 8 ? PA_SAMPLE_U8 : PA_SAMPLE_S16LE;
    spec.rate = static_cast<uint32_t>(rate);
    spec.channels = static_cast<uint8_t>(channels);
    format.formatTag = 1;
    format.channels = static_cast<uint16_t>(channels);
    format.samplesPerSec = static_cast<uint32_t>(rate);
    format.blockAlign = static_cast<uint16_t>(channels * bits / 8);
    format.avgBytesPerSec = format.samplesPerSec * format.blockAlign;
    format.bitsPerSample = static_cast<uint16_t>(bits);
    format.extraSize = 0;
    // Silence of unsigned 8-bit samples is the middle value.
    silence.assign(pa_usec_to_bytes(100 * PA_USEC_PER_MSEC, &spec), bits == 8 ? 0x80 : 0);
    SC_LOG_INFO(kSource, "CPulseAudioRecorder::InitAudioRecorderParam",
                "Set record param success[nChannels=%d,nSamplesPerSec=%d,wBitsPerSample=%d]", channels, rate, bits);
}

void CPulseAudioRecorder::ConnectStream(const std::string& name)
{
    PulseLockGuard guard(session.get());
    sourceName = name;
    corked = true;
    lost = hung = failureSent = reconnecting = false;
    auto flags = static_cast<pa_stream_flags_t>(PA_STREAM_START_CORKED | PA_STREAM_ADJUST_LATENCY | PA_STREAM_DONT_MOVE);
    stream = session->ConnectRecordStream("Sonacap input", sourceName.c_str(), spec, kFragmentUsec, flags,
                                          StateCallback, ReadCallback, this);
    if (!stream) {
        SC_LOG_ERROR(kSource, "CPulseAudioRecorder::ConnectStream", "connect record stream failed:%s",
                     session->LastError().c_str());
        ThrowCodedError(kErrSystem);
    }
    lastData = pa_rtclock_now();
    watch = pa_context_rttime_new(session->Context(), lastData + kWatchPeriodUsec, WatchCallback, this);
    streaming = true;
}

void CPulseAudioRecorder::Lost(bool streamGone)
{
    if (!failureSent) {
        failureSent = true;
        SC_LOG_ERROR(kSource, "CPulseAudioRecorder::Lost", "capture stopped: %s",
                     streamGone ? "the stream is gone" : "the sound server does not answer");
        if (callback)
            callback(2, nullptr, 0, user);
    }
    if (streamGone) {
        hung = false;
        if (!lost) {
            lost = true;
            nextAttempt = pa_rtclock_now();
        }
    } else {
        hung = true;
    }
}

void CPulseAudioRecorder::StateCallback(pa_stream* s, void* userdata)
{
    auto* self = static_cast<CPulseAudioRecorder*>(userdata);
    const pa_stream_state_t state = pa_stream_get_state(s);
    // Only set up streams report here: our own closes detach this callback.
    if (state == PA_STREAM_READY && self->lost) {
        self->lost = false;
        self->failureSent = false;
        self->lastData = pa_rtclock_now();
        SC_LOG_INFO(kSource, "CPulseAudioRecorder::StateCallback", "capture runs again");
        if (self->callback)
            self->callback(3, nullptr, 0, self->user);
    } else if (!PA_STREAM_IS_GOOD(state) && self->watch) {
        self->Lost(true);
    }
    self->session->Signal();
}

void CPulseAudioRecorder::DropPing()
{
    if (ping) {
        pa_operation_cancel(ping);
        pa_operation_unref(ping);
        ping = nullptr;
    }
}

void CPulseAudioRecorder::PingCallback(pa_context*, int, void* userdata)
{
    auto* self = static_cast<CPulseAudioRecorder*>(userdata);
    if (self->ping) {
        pa_operation_unref(self->ping);
        self->ping = nullptr;
    }
    // The server answers: a quiet stream is the source's doing.
    self->ServerAnswered();
}

void CPulseAudioRecorder::ServerAnswered()
{
    lastData = pa_rtclock_now();
    if (!hung)
        return;
    hung = false;
    failureSent = false;
    if (callback)
        callback(3, nullptr, 0, user);
}

void CPulseAudioRecorder::OpenStreamAgain()
{
    DropPing();
    PulseSession::CloseStream(&stream);
    auto flags = static_cast<pa_stream_flags_t>(PA_STREAM_ADJUST_LATENCY | PA_STREAM_DONT_MOVE |
                                                (corked ? PA_STREAM_START_CORKED : 0));
    stream = session->StartRecordStream("Sonacap input", sourceName.c_str(), spec, kFragmentUsec, flags,
                                        StateCallback, ReadCallback, this);
    if (!stream)
        nextAttempt = pa_rtclock_now() + kReconnectPeriodUsec;
}

void CPulseAudioRecorder::TryToRecover(pa_usec_t now)
{
    if (reconnecting || now < nextAttempt)
        return;
    if (stream && PA_STREAM_IS_GOOD(pa_stream_get_state(stream)))
        return;  // a new stream is connecting
    nextAttempt = now + kReconnectPeriodUsec;
    pa_context* c = session->Context();
    if (c && pa_context_get_state(c) == PA_CONTEXT_READY) {
        OpenStreamAgain();
        return;
    }
    DropPing();
    PulseSession::CloseStream(&stream);
    reconnecting = session->BeginReconnect(
        [this](bool ok) {
            reconnecting = false;
            if (ok)
                OpenStreamAgain();
            else
                nextAttempt = pa_rtclock_now() + kReconnectPeriodUsec;
        },
        kReconnectTimeoutMs);
}

void CPulseAudioRecorder::WatchCallback(pa_mainloop_api*, pa_time_event* e, const struct timeval*, void* userdata)
{
    auto* self = static_cast<CPulseAudioRecorder*>(userdata);
    const pa_usec_t now = pa_rtclock_now();
    const bool running = self->stream && !self->corked && pa_stream_get_state(self->stream) == PA_STREAM_READY &&
                         pa_stream_is_suspended(self->stream) == 0;
    if (running && !self->failureSent && now - self->lastData >= kQuietUsec) {
        if (!self->ping) {
            // Asking to resume the source being recorded changes nothing, and
            // is answered only once the server's sound path runs: a PipeWire
            // server answers questions about its state (server and device
            // information) from its PulseAudio front end even while the graph
            // that moves the sound stands still.
            self->ping = pa_context_suspend_source_by_name(self->session->Context(), self->sourceName.c_str(), 0,
                                                           PingCallback, self);
            self->pingSent = now;
        } else if (now - self->pingSent >= kPingTimeoutUsec) {
            self->Lost(false);
        }
    }
    if (self->lost)
        self->TryToRecover(now);
    pa_context_rttime_restart(self->session->Context(), e, now + kWatchPeriodUsec);
}

void CPulseAudioRecorder::ReadCallback(pa_stream* s, size_t, void* userdata)
{
    auto* self = static_cast<CPulseAudioRecorder*>(userdata);
    self->ServerAnswered();
    while (pa_stream_readable_size(s) > 0) {
        const void* data = nullptr;
        size_t n = 0;
        if (pa_stream_peek(s, &data, &n) < 0 || n == 0)
            break;
        if (self->callback) {
            if (data) {
                self->callback(1, const_cast<void*>(data), static_cast<int>(n), self->user);
            } else {
                for (size_t left = n; left > 0;) {
                    size_t part = std::min(left, self->silence.size());
                    self->callback(1, self->silence.data(), static_cast<int>(part), self->user);
                    left -= part;
                }
            }
        }
        pa_stream_drop(s);
    }
}

bool CPulseAudioRecorder::Cork(bool cork)
{
    PulseLockGuard guard(session.get());
    // Kept even when the stream is being made again: the new one follows it.
    corked = cork;
    lastData = pa_rtclock_now();
    if (!stream || pa_stream_get_state(stream) != PA_STREAM_READY)
        return false;
    CorkResult result;
    result.session = session.get();
    pa_operation* op = pa_stream_cork(stream, cork ? 1 : 0, CorkDone, &result);
    if (!op)
        return false;
    bool finished = session->WaitFor([&result] { return result.done; });
    if (!finished)
        pa_operation_cancel(op);
    pa_operation_unref(op);
    return finished && result.ok;
}

void CPulseAudioRecorder::Start()
{
    SC_LOG_INFO(kSource, "CPulseAudioRecorder::Start", "Start()");
    if (!streaming) {
        SC_LOG_WARNING(kSource, "CPulseAudioRecorder::Start", "Not init");
        return;
    }
    if (!Cork(false)) {
        SC_LOG_ERROR(kSource, "CPulseAudioRecorder::Start", "Run error:%s",
                     pa_strerror(pa_context_errno(session->Context())));
        ThrowCodedError(kErrSystem);
    }
}

void CPulseAudioRecorder::Pause()
{
    SC_LOG_INFO(kSource, "CPulseAudioRecorder::Pause", "Pause()");
    if (!streaming) {
        SC_LOG_WARNING(kSource, "CPulseAudioRecorder::Pause", "Not init");
        return;
    }
    Cork(true);
}

void CPulseAudioRecorder::Continue()
{
    SC_LOG_INFO(kSource, "CPulseAudioRecorder::Continue", "Continue()");
    if (!streaming) {
        SC_LOG_WARNING(kSource, "CPulseAudioRecorder::Continue", "Not init");
        return;
    }
    Cork(false);
}

void CPulseAudioRecorder::Stop()
{
    SC_LOG_INFO(kSource, "CPulseAudioRecorder::Stop", "Stop()");
    if (!streaming) {
        SC_LOG_WARNING(kSource, "CPulseAudioRecorder::Stop", "Not init");
        return;
    }
    // Under the main-loop lock no read callback is running, and once the
    // stream and its watch are gone none can start.
    PulseLockGuard guard(session.get());
    if (watch) {
        pa_threaded_mainloop_get_api(session->Mainloop())->time_free(watch);
        watch = nullptr;
    }
    session->CancelReconnect();
    DropPing();
    reconnecting = false;
    lost = hung = failureSent = false;
    streaming = false;
    if (!PulseSession::CloseStream(&stream))
        SC_LOG_ERROR(kSource, "CPulseAudioRecorder::Stop", "stop failed,hr=%d", pa_context_errno(session->Context()));
}

int CPulseAudioRecorder::GetPreviewVolume()
{
    return previewVolume ? previewVolume->GetVolume() : 0;
}

void CPulseAudioRecorder::SetPreviewVolume(int volume)
{
    if (previewVolume)
        previewVolume->SetVolume(volume);
}

void CPulseAudioRecorder::SetInputVolume(int volume)
{
    if (inputVolume)
        inputVolume->SetVolume(volume);
}

int CPulseAudioRecorder::GetInputVolume()
{
    return inputVolume ? inputVolume->GetVolume() : 0;
}
