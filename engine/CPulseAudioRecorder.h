#pragma once

#include <memory>
#include <pulse/pulseaudio.h>
#include <string>
#include <vector>

#include "IAudioRecorder.h"

class CWinVolume;
class PulseSession;

// Records one input device (a source of the sound server that is not a
// monitor) in the requested format; the server converts rate and channels.
// 8- and 16-bit PCM only. When the server goes away the recorder reports it
// (kind 2), tries once a second to connect again and to record the same
// source, and reports success (kind 3). A source may fall quiet by itself (a
// pipe without writer), so a running stream without data for 3 s only leads
// to a question to the server that only its running sound path answers: one
// that does not answer within 2 s is hung, and counts as lost until it answers
// or sends data again.
//
// Thread contract: Init, Start, Pause, Continue, Stop and the destructor run
// on the caller's thread. Kind 1, 2 and 3 callbacks run on the session's
// main-loop thread with the main-loop lock held; Stop takes that lock to take
// the stream and its watch down, so once it returns no callback runs or is
// running. Every member below `stream` is touched only under that lock.
class CPulseAudioRecorder : public IAudioRecorder {
public:
    CPulseAudioRecorder();
    ~CPulseAudioRecorder() override;

    // Finds the source, checks the format (-4092), unmutes the source and
    // connects a paused stream; reports the format (kind 0) before it returns.
    void Init(AudioParam param, AudioRecorderCallback cb, void* user, const AudioDeviceInfo* input,
              const AudioDeviceInfo* preview) override;
    void Start() override;
    void Pause() override;
    void Continue() override;
    void Stop() override;
    int GetPreviewVolume() override;
    void SetPreviewVolume(int volume) override;
    void SetInputVolume(int volume) override;
    int GetInputVolume() override;

private:
    void Uninit();
    void InitAudioRecorderParam(const AudioParam& param);
    void ConnectStream(const std::string& sourceName);
    bool Cork(bool cork);
    void Lost(bool streamGone);
    void OpenStreamAgain();
    void TryToRecover(pa_usec_t now);
    void DropPing();
    // Data or an answer came: a hung server is back (kind 3).
    void ServerAnswered();
    static void PingCallback(pa_context* c, int success, void* userdata);
    static void ReadCallback(pa_stream* s, size_t bytes, void* userdata);
    static void StateCallback(pa_stream* s, void* userdata);
    static void WatchCallback(pa_mainloop_api* api, pa_time_event* e, const struct timeval* tv, void* userdata);

    std::unique_ptr<PulseSession> session;
    // From a connected Init to Stop; the caller's thread only.
    bool streaming = false;
    pa_stream* stream;  // main-loop lock
    std::string sourceName;
    pa_time_event* watch = nullptr;
    bool corked = true;        // as the caller wants it; a new stream follows it
    bool lost = false;         // the stream is gone and being made again
    bool hung = false;         // the stream lives but the server sends nothing
    bool failureSent = false;  // kind 2 sent, kind 3 not yet
    bool reconnecting = false;
    pa_usec_t lastData = 0;
    pa_usec_t nextAttempt = 0;
    pa_operation* ping = nullptr;  // the question to a quiet server
    pa_usec_t pingSent = 0;
    pa_sample_spec spec;
    AudioWaveFormat format;
    std::vector<unsigned char> silence;  // fills holes; main-loop thread only
    CWinVolume* inputVolume;
    CWinVolume* previewVolume;
};
