#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "AudioDeviceInfo.h"
#include "CWinVolume.h"
#include "Sonacap.h"

class CAudioDataManager;
class CAudioProcess;
class CWinAudioDeviceEnum;
class IAudioRecorder;
class IMusicFile;

// The engine object. Mode 1 records what the default output plays (loopback),
// mode 2 an input device; both only queue PCM into the data manager, and the
// processing thread turns the queue into songs and notifications.
//
// Thread contract: every interface operation runs on the caller's (GUI) thread
// and calls must not overlap; the object has no lock of its own. The capture
// threads (the loopback library's, the recorder's) touch only the data
// manager, which locks. The processing object guards its own state.
class CSonacapImpl : public CSonacapBase {
public:
    using DiskFreeFunction = std::function<uint64_t(const std::string& folder)>;

    CSonacapImpl();
    ~CSonacapImpl() override;

    int EnumInputDevice() override;
    int InputDeviceCount() override;
    int GetInputDevice(unsigned index, char* buf, int size) override;
    int SelectMode(int mode, AudioParam param, const char* device) override;
    int Start(int unused, int format, int quality) override;
    void Pause(bool pause) override;
    void Stop() override;
    void Reset() override;
    void SetPreviewVolume(int volume) override;
    int GetPreviewVolume() override;
    void SetTextParam(int key, const char* value) override;
    void SetIntParam(int key, int value) override;

    // Seams for tests: the free-space query behind Start's check, and the
    // processing object (for its own seams).
    void SetDiskFreeFunction(DiskFreeFunction function);
    CAudioProcess* Process() { return process; }

private:
    void Init();
    int EnumDevice(bool input, bool output);
    void GetInputDeviceInfo(const char* name, AudioDeviceInfo* info);
    void ReadDefaultOutput(bool tolerateMissing);
    void StopLoopback();
    void RecorderReset();

    static void LoopbackConvertRoutine(int event, void* data, int size, void* user);
    static void LoopbackEventRoutine(int event, void* data, int size, void* user);
    static void AudioRecorderCallbackRoutine(int type, void* data, int size, void* user);

    CAudioDataManager* dataManager;
    AudioDeviceInfo defaultOutput;
    CWinAudioDeviceEnum* deviceEnum;
    IAudioRecorder* recorder;
    CAudioProcess* process;
    IMusicFile* musicFile;
    int mode;
    CWinVolume volume;
    // Where songs go (local encoding, ending in a separator); Start checks its disk.
    std::string outputFolder;
    // Whether the loopback library was set up by this object and not yet reset.
    bool loopbackActive;
    DiskFreeFunction diskFree;
};
