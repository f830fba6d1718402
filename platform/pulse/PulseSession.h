#pragma once

// One connection to the sound server: a threaded main loop and a context, with
// synchronous queries that each wait at most a time-out.
//
// The server is the one PULSE_SERVER names (or the user's default); the client
// never spawns a server of its own. An unreachable server is a failed Connect,
// never a hang. A server that does not answer in time (a hung one) makes every
// Connect and query of the process fail at once for the next few seconds, so
// the several calls of one user action wait for it once, not each.
//
// Thread contract: every public query takes the main-loop lock itself and must
// not be called from a callback that runs on the main-loop thread. Stream code
// that needs the raw loop and context takes the lock with Lock()/Unlock() (or
// PulseLockGuard) and waits with WaitFor().

#include <pulse/pulseaudio.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// A sink or a source as the server lists it.
struct PulseDevice {
    uint32_t index = PA_INVALID_INDEX;
    std::string name;           // the server's unique name
    std::string description;    // what users see
    bool isMonitor = false;     // a source that mirrors a sink
    std::string monitorSource;  // sinks: the name of their monitor source
    pa_sample_spec spec{};
    pa_channel_map map{};
};

struct PulseModule {
    uint32_t index = PA_INVALID_INDEX;
    std::string name;
    std::string argument;
};

class PulseSession {
public:
    static constexpr int kDefaultTimeoutMs = 3000;
    // A connect only needs the server's handshake; one that takes longer than
    // this finds a hung server.
    static constexpr int kConnectTimeoutMs = 2000;
    // How long a time-out makes the later calls fail at once.
    static constexpr int kUnresponsiveMs = 3000;

    explicit PulseSession(const char* clientName = "Sonacap");
    ~PulseSession();
    PulseSession(const PulseSession&) = delete;
    PulseSession& operator=(const PulseSession&) = delete;

    // false when no server answers within the time-out; LastError() tells why.
    bool Connect(int timeoutMs = kConnectTimeoutMs);
    // Whether a time-out of this process's calls marked the server as not
    // answering within the last kUnresponsiveMs.
    static bool ServerSeemsHung();
    // Safe to call more than once; streams made on the context must be gone.
    void Disconnect();
    bool IsConnected();
    std::string LastError() const;
    // The server's error code of the last failed call (PA_ERR_*).
    int LastErrorCode() const;

    // Synchronous queries. false on a failed operation, a time-out or a lost
    // connection. An empty default name means the server has none.
    bool GetDefaults(std::string* defaultSink, std::string* defaultSource);
    bool ListSinks(std::vector<PulseDevice>* out);
    bool ListSources(std::vector<PulseDevice>* out);
    // source: true for a source, false for a sink. volume is the loudest channel.
    bool GetVolume(bool source, const std::string& name, pa_volume_t* volume, bool* muted);
    // Sets every channel to the same level.
    bool SetVolume(bool source, const std::string& name, pa_volume_t volume);
    bool SetMute(bool source, const std::string& name, bool mute);
    bool SetDefaultSink(const std::string& name);
    bool SuspendSink(const std::string& name, bool suspend);
    bool LoadModule(const std::string& name, const std::string& argument, uint32_t* index);
    bool UnloadModule(uint32_t index);
    bool ListModules(std::vector<PulseModule>* out);

    // For stream owners.
    pa_threaded_mainloop* Mainloop() { return loop; }
    pa_context* Context() { return context; }
    void Lock();
    void Unlock();
    // Wakes a WaitFor; callable from main-loop callbacks.
    void Signal();
    // With the lock held: waits until done() is true, the context fails or the
    // time-out passes. Returns done().
    bool WaitFor(const std::function<bool()>& done, int timeoutMs = kDefaultTimeoutMs);
    // Whether the calling thread is the main-loop thread.
    bool InLoopThread();

    // With the lock held: a record stream on `source` in `spec`, handing blocks
    // of about `fragmentUsec` to `read`, connected and ready; null when the
    // stream cannot be made or connected (LastError() tells why).
    pa_stream* ConnectRecordStream(const char* streamName, const char* source, const pa_sample_spec& spec,
                                   pa_usec_t fragmentUsec, pa_stream_flags_t flags, pa_stream_notify_cb_t state,
                                   pa_stream_request_cb_t read, void* user);
    // The same without waiting, so it may run in a main-loop callback: the
    // stream's state callback reports when it is ready or has failed.
    pa_stream* StartRecordStream(const char* streamName, const char* source, const pa_sample_spec& spec,
                                 pa_usec_t fragmentUsec, pa_stream_flags_t flags, pa_stream_notify_cb_t state,
                                 pa_stream_request_cb_t read, void* user);

    // Coming back after the server went away. With the lock held, typically
    // in a main-loop callback: starts connecting a fresh context that takes
    // the place of the failed one once it is ready (the session's streams must
    // be closed by then; timers made on the old context keep running). `done`
    // runs on the main-loop thread with the lock held: true when Context() is
    // the fresh, ready one, false when the server did not answer within
    // timeoutMs. Returns false (and never calls done) when an attempt is
    // already running or the session was never connected.
    bool BeginReconnect(std::function<void(bool)> done, int timeoutMs = kConnectTimeoutMs);
    // With the lock held: drops an attempt of BeginReconnect; done is not called.
    void CancelReconnect();
    // With the lock held: detaches the callbacks, disconnects and frees the
    // stream and sets it to null. No callback of it runs afterwards. False
    // when a live stream refused to disconnect (it is freed all the same).
    static bool CloseStream(pa_stream** stream);

    // State of one synchronous operation (used by the session's callbacks).
    struct Pending;

private:
    // With the lock held: waits for op and reports whether it succeeded.
    bool RunOperation(pa_operation* op, Pending* pending);
    // Takes the lock, lets begin start one operation on `pending` and waits for it.
    bool Run(Pending* pending, const std::function<pa_operation*(Pending*)>& begin);
    // Starts the query of the sink or source of that name (one entry in pending->devices).
    pa_operation* QueryDevice(bool source, const std::string& name, Pending* pending);
    void SetError(const std::string& text);
    static void MarkServerHung();
    static void ReconnectStateCallback(pa_context* c, void* user);
    static void ReconnectTimeoutCallback(pa_mainloop_api* api, pa_time_event* e, const struct timeval* tv,
                                         void* user);
    void FinishReconnect(bool ok);

    std::string clientName;
    pa_threaded_mainloop* loop = nullptr;
    pa_context* context = nullptr;
    std::string lastError;
    // A reconnection under way (lock held for all three).
    pa_context* fresh = nullptr;
    pa_time_event* freshTimer = nullptr;
    std::function<void(bool)> reconnectDone;
    bool beginning = false;
};

// Scoped main-loop lock.
class PulseLockGuard {
public:
    explicit PulseLockGuard(PulseSession* session) : session(session) { session->Lock(); }
    ~PulseLockGuard() { session->Unlock(); }
    PulseLockGuard(const PulseLockGuard&) = delete;
    PulseLockGuard& operator=(const PulseLockGuard&) = delete;

private:
    PulseSession* session;
};
