#pragma once

#include <memory>
#include <pulse/pulseaudio.h>
#include <vector>

#include "IAudioRecorder.h"

class CWinVolume;
class PulseSession;

// Records one input device (a source of the sound server that is not a
// monitor) in the requested format; the server converts rate and channels.
// 8- and 16-bit PCM only.
//
// Thread contract: Init, Start, Pause, Continue, Stop and the destructor run
// on the caller's thread. Kind 1 callbacks run on the session's main-loop
// thread with the main-loop lock held; Stop takes that lock to take the stream
// down, so once it returns no callback runs or is running.
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
    static void ReadCallback(pa_stream* s, size_t bytes, void* userdata);
    static void StateCallback(pa_stream* s, void* userdata);

    std::unique_ptr<PulseSession> session;
    pa_stream* stream;  // main-loop lock
    pa_sample_spec spec;
    AudioWaveFormat format;
    std::vector<unsigned char> silence;  // fills holes; main-loop thread only
    CWinVolume* inputVolume;
    CWinVolume* previewVolume;
};
