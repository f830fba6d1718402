#pragma once

#include <cstdint>

#include "AudioDeviceInfo.h"
#include "Sonacap.h"

// The format record a recorder reports with kind 0: 18 bytes, no padding.
#pragma pack(push, 1)
struct AudioWaveFormat {
    uint16_t formatTag;       // 1 PCM
    uint16_t channels;
    uint32_t samplesPerSec;
    uint32_t avgBytesPerSec;
    uint16_t blockAlign;      // channels x bits / 8
    uint16_t bitsPerSample;
    uint16_t extraSize;       // 0
};
#pragma pack(pop)
static_assert(sizeof(AudioWaveFormat) == 18, "the format record is 18 bytes");

// kind 0: data is an AudioWaveFormat, size 18; kind 1: size bytes of samples,
// valid during the call only; kind 2: capture stopped (the server went away or
// hung; data null); kind 3: capture runs again after kind 2 (data null).
typedef void (*AudioRecorderCallback)(int kind, void* data, int size, void* user);

// A capture source for an input device. Init, Start, Pause, Continue and Stop
// run on the caller's thread; kind 1, 2 and 3 callbacks come on the
// recorder's own thread and never after Stop returns.
class IAudioRecorder : public CAudioBase {
public:
    ~IAudioRecorder() override;

    // Failures are thrown as CError. Only the first three fields of param
    // (rate, channels, bits) are read; only the records' names are used.
    virtual void Init(AudioParam param, AudioRecorderCallback cb, void* user, const AudioDeviceInfo* input,
                      const AudioDeviceInfo* preview) = 0;
    virtual void Start() = 0;
    virtual void Pause() = 0;
    virtual void Continue() = 0;
    virtual void Stop() = 0;
    virtual int GetPreviewVolume() = 0;
    virtual void SetPreviewVolume(int volume) = 0;
    virtual void SetInputVolume(int volume) = 0;
    virtual int GetInputVolume() = 0;

protected:
    IAudioRecorder();

    AudioRecorderCallback callback;
    void* user;
};
