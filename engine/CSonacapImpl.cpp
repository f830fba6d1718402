#include "CSonacapImpl.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "CAudioDataManager.h"
#include "CAudioProcess.h"
#include "CError.h"
#include "CMp3File.h"
#include "CPcmsink.h"
#include "CPulseAudioRecorder.h"
#include "CWinAudioDeviceEnum.h"
#include "EngineUtils.h"
#include "LoopGrab.h"
#include "Log.h"
#include "RateFold.h"

namespace {

const char* const kSource = "SonacapImpl";
constexpr uint64_t kMinimumFreeBytes = 52428800;  // 50 MiB
constexpr int kDefaultSilenceMs = 200;
constexpr int kDefaultMinimumMs = 3000;

int BitRateOfQuality(int quality)
{
    switch (quality) {
    case 0: return 128;
    case 2: return 224;
    case 3: return 256;
    case 4: return 320;
    default: return 192;
    }
}

} // namespace

CSonacapBase* CSonacapBase::GetInstance()
{
    std::printf("has into lib =========================================\n");
    std::fflush(stdout);
    return new CSonacapImpl();
}

CSonacapImpl::CSonacapImpl()
    : dataManager(nullptr),
      defaultOutput{},
      deviceEnum(nullptr),
      recorder(nullptr),
      process(nullptr),
      musicFile(nullptr),
      mode(0),
      outputFolder(GetProgramFolder()),
      loopbackActive(false),
      diskFree(GetDiskFreeBytes)
{
    LogScope scope("CSonacapImpl::CSonacapImpl");
    Init();
}

CSonacapImpl::~CSonacapImpl()
{
    Reset();
    delete recorder;
    recorder = nullptr;
    // The processing thread was joined by Reset; it reads the data manager,
    // so it goes first.
    delete process;
    process = nullptr;
    delete dataManager;
    dataManager = nullptr;
    delete deviceEnum;
    deviceEnum = nullptr;
    delete musicFile;
    musicFile = nullptr;
}

void CSonacapImpl::Init()
{
    try {
        dataManager = new CAudioDataManager();
        process = new CAudioProcess(dataManager);
        recorder = nullptr;
        musicFile = nullptr;
        deviceEnum = new CWinAudioDeviceEnum();
        EnumDevice(true, true);
        deviceEnum->GetDefaultOutputDevice(&defaultOutput);
    } catch (CError& e) {
        if (e.Code() == kErrNoDevice)
            SC_LOG_WARNING(kSource, "CSonacapImpl::Init", "Not default device");
        else
            SC_LOG_ERROR(kSource, "CSonacapImpl::Init", "code= %d,msg = %s", e.Code(), e.Message().c_str());
    } catch (...) {
        SC_LOG_ERROR(kSource, "CSonacapImpl::Init", "Unknown error");
    }
}

void CSonacapImpl::SetDiskFreeFunction(DiskFreeFunction function)
{
    diskFree = function ? std::move(function) : DiskFreeFunction(GetDiskFreeBytes);
}

int CSonacapImpl::EnumDevice(bool input, bool output)
{
    try {
        if (input)
            deviceEnum->EnumInputDevice();
        if (output)
            deviceEnum->EnumOutputDevice();
        return 0;
    } catch (CError& e) {
        SC_LOG_ERROR(kSource, "CSonacapImpl::EnumDevice", "code= %d,msg = %s", e.Code(), e.Message().c_str());
        return e.Code();
    } catch (...) {
        SC_LOG_ERROR(kSource, "CSonacapImpl::EnumDevice", "Unknown error");
        return kErrSystem;
    }
}

int CSonacapImpl::EnumInputDevice()
{
    LogScope scope("CSonacapImpl::EnumInputDevice");
    return EnumDevice(true, false);
}

int CSonacapImpl::InputDeviceCount()
{
    try {
        return deviceEnum->InputDeviceCount();
    } catch (CError& e) {
        SC_LOG_ERROR(kSource, "CSonacapImpl::InputDeviceCount", "code=%d,msg=%s", e.Code(), e.Message().c_str());
    } catch (...) {
        SC_LOG_ERROR(kSource, "CSonacapImpl::InputDeviceCount", "unknown error");
    }
    return 0;
}

int CSonacapImpl::GetInputDevice(unsigned index, char* buf, int size)
{
    if (index >= static_cast<unsigned>(deviceEnum->InputDeviceCount())) {
        SC_LOG_ERROR(kSource, "CSonacapImpl::GetInputDevice", "Invalid device index");
        return kErrInvalidDevice;
    }
    // A negative size is as unusable as 0; it must never reach memset.
    if (!buf || size <= 0) {
        SC_LOG_ERROR(kSource, "CSonacapImpl::GetInputDevice", "param buffer size is too small");
        return kErrBufferTooSmall;
    }
    std::string name = AnsiToUtf8(deviceEnum->InputDeviceAt(index)->name);
    std::memset(buf, 0, static_cast<size_t>(size));
    size_t n = std::min(name.size(), static_cast<size_t>(size) - 1);
    std::memcpy(buf, name.data(), n);
    return 0;
}

void CSonacapImpl::GetInputDeviceInfo(const char* name, AudioDeviceInfo* info)
{
    if (!name || !*name)
        ThrowCodedError(kErrInvalidDevice);
    int index = deviceEnum->FindInputDevice(name);
    *info = *deviceEnum->InputDeviceAt(static_cast<unsigned>(index));
}

void CSonacapImpl::ReadDefaultOutput(bool tolerateMissing)
{
    try {
        deviceEnum->GetDefaultOutputDevice(&defaultOutput);
    } catch (CError& e) {
        // Recording an input device needs no playback device at all.
        if (e.Code() != kErrNoDevice || !tolerateMissing)
            throw;
        std::memset(&defaultOutput, 0, sizeof defaultOutput);
        SC_LOG_WARNING(kSource, "CSonacapImpl::SelectMode", "Not default device");
    }
}

void CSonacapImpl::StopLoopback()
{
    if (!loopbackActive)
        return;
    WAS_Stop();
    WAS_Reset();
    loopbackActive = false;
}

int CSonacapImpl::SelectMode(int newMode, AudioParam param, const char* device)
{
    LogScope scope("CSonacapImpl::SelectMode");
    int result = 0;
    try {
        // A running loopback must be gone before the queue is reset, or two
        // captures would feed one queue.
        StopLoopback();
        mode = newMode;
        EnumDevice(true, true);
        RecorderReset();
        ReadDefaultOutput(mode != 1);
        recorder = new CPulseAudioRecorder();

        if (mode == 1) {
            volume.Open(&defaultOutput, 0);
            volume.SetRange(0, 100);
            int code = WAS_Init(LoopbackConvertRoutine, this, GetLogDir());
            if (code != 0) {
                SleepMs(1000);
                code = WAS_Init(LoopbackConvertRoutine, this, GetLogDir());
            }
            if (code != 0) {
                SC_LOG_ERROR(kSource, "CSonacapImpl::SelectMode", "WAS_Init err[%d]", code);
                throw CError(code, "WAS_Init err");
            }
            loopbackActive = true;
            process->SetSelectedParam(param);
            process->Restart();
            code = WAS_Start();
            if (code != 0) {
                SC_LOG_ERROR(kSource, "CSonacapImpl::SelectMode", "WAS_Start err[%d]", code);
                throw CError(code, "WAS_Start err");
            }
        } else if (mode == 2) {
            if (!device) {
                SC_LOG_ERROR(kSource, "CSonacapImpl::SelectMode", "Invalid audio input device");
                ThrowCodedError(kErrInvalidDevice);
            }
            AudioDeviceInfo input;
            GetInputDeviceInfo(Utf8ToAnsi(device).c_str(), &input);
            recorder->Init(param, AudioRecorderCallbackRoutine, dataManager, &input, nullptr);
            process->SetSelectedParam(param);
            process->Restart();
            recorder->Start();
        }
    } catch (CError& e) {
        SC_LOG_ERROR(kSource, "CSonacapImpl::SelectMode", "code=%d,msg=%s", e.Code(), e.Message().c_str());
        result = e.Code();
    } catch (...) {
        SC_LOG_ERROR(kSource, "CSonacapImpl::SelectMode", "Unknown error");
        result = kErrSystem;
    }
    if (result != 0 && recorder) {
        delete recorder;
        recorder = nullptr;
    }
    return result;
}

int CSonacapImpl::Start(int, int format, int quality)
{
    LogScope scope("CSonacapImpl::Start");
    try {
        // A folder that cannot take songs is not a full disk.
        if (access(outputFolder.c_str(), W_OK | X_OK) != 0) {
            SC_LOG_ERROR(kSource, "CSonacapImpl::Start", "output folder [%s] not writable: %s", outputFolder.c_str(),
                         strerror(errno));
            ThrowCodedError(kErrOutputFolder);
        }
        // The songs' disk is the one that fills up.
        if (diskFree(outputFolder) < kMinimumFreeBytes)
            ThrowCodedError(kErrDiskFull);
        if (!recorder)
            ThrowCodedError(kErrNoRecorder);
        IMusicFile* file = nullptr;
        if (format == 1) {
            file = new CPcmsink();
        } else if (format == 2) {
            auto* mp3 = new CMp3File();
            mp3->SetRatio(static_cast<unsigned>(BitRateOfQuality(quality)));
            file = mp3;
        } else {
            // The old writer goes; detach it before it is deleted.
            process->SetMusicFile(nullptr, "dat");
            delete musicFile;
            musicFile = nullptr;
            ThrowCodedError(kErrBadFormat);
        }
        const char* extension = format == 1 ? "wav" : "mp3";
        // Swapped under the processing lock: once this returns the thread no
        // longer uses the old writer, so it can be deleted.
        process->SetMusicFile(file, extension);
        delete musicFile;
        musicFile = file;
        Pause(false);
        process->SetState(2);
        if (loopbackActive)
            WAS_Record(1);
        return 0;
    } catch (CError& e) {
        SC_LOG_ERROR(kSource, "CSonacapImpl::Start", "code= %d,msg=%s", e.Code(), e.Message().c_str());
        return e.Code();
    } catch (...) {
        SC_LOG_ERROR(kSource, "CSonacapImpl::Start", "Unknown error");
        return kErrSystem;
    }
}

void CSonacapImpl::Pause(bool pause)
{
    try {
        if (mode == 1) {
            process->SetPause(pause);
        } else if (!recorder) {
            SC_LOG_ERROR(kSource, "CSonacapImpl::Pause", "Do not select mode");
        } else if (pause) {
            recorder->Pause();
        } else {
            recorder->Continue();
        }
    } catch (CError& e) {
        SC_LOG_ERROR(kSource, "CSonacapImpl::Pause", "code= %d,msg=%s", e.Code(), e.Message().c_str());
    } catch (...) {
        SC_LOG_ERROR(kSource, "CSonacapImpl::Pause", "Unknown error");
    }
}

void CSonacapImpl::Stop()
{
    LogScope scope("CSonacapImpl::Stop");
    try {
        process->SetState(1);
        if (loopbackActive)
            WAS_Record(0);
        SleepMs(20);
    } catch (CError& e) {
        SC_LOG_ERROR(kSource, "CSonacapImpl::Stop", "code= %d,msg=%s", e.Code(), e.Message().c_str());
    } catch (...) {
        SC_LOG_ERROR(kSource, "CSonacapImpl::Stop", "Unknown error");
    }
}

void CSonacapImpl::Reset()
{
    LogScope scope("CSonacapImpl::Reset");
    try {
        // Only the capture this object started: the loopback library is shared.
        StopLoopback();
        RecorderReset();
    } catch (CError& e) {
        SC_LOG_ERROR(kSource, "CSonacapImpl::Reset", "code=%d,msg=%s", e.Code(), e.Message().c_str());
    } catch (...) {
        SC_LOG_ERROR(kSource, "CSonacapImpl::Reset", "Unknown error");
    }
}

void CSonacapImpl::RecorderReset()
{
    try {
        if (recorder) {
            recorder->Stop();
            delete recorder;
            recorder = nullptr;
        }
        process->Terminate();
        process->SetMusicFile(nullptr, "dat");
        dataManager->Clear();
        process->SetCallback(callback, user);
        delete musicFile;
        musicFile = nullptr;
    } catch (CError& e) {
        SC_LOG_ERROR(kSource, "CSonacapImpl::RecorderReset", "code=%d,msg=%s", e.Code(), e.Message().c_str());
    } catch (...) {
        SC_LOG_ERROR(kSource, "CSonacapImpl::RecorderReset", "Unknown error");
    }
}

void CSonacapImpl::SetPreviewVolume(int level)
{
    try {
        if (mode == 1)
            volume.SetVolume(level);
        else
            SC_LOG_WARNING(kSource, "CSonacapImpl::SetPreviewVolume", "Not init system preview");
    } catch (CError& e) {
        SC_LOG_ERROR(kSource, "CSonacapImpl::SetPreviewVolume", "code= %d,msg=%s", e.Code(), e.Message().c_str());
    } catch (...) {
        SC_LOG_ERROR(kSource, "CSonacapImpl::SetPreviewVolume", "Unknown error");
    }
}

int CSonacapImpl::GetPreviewVolume()
{
    try {
        if (mode == 1)
            return volume.GetVolume();
        SC_LOG_WARNING(kSource, "CSonacapImpl::GetPreviewVolume", "Not init system preview");
    } catch (CError& e) {
        SC_LOG_ERROR(kSource, "CSonacapImpl::GetPreviewVolume", "code= %d,msg=%s", e.Code(), e.Message().c_str());
    } catch (...) {
        SC_LOG_ERROR(kSource, "CSonacapImpl::GetPreviewVolume", "Unknown error");
    }
    return 0;
}

void CSonacapImpl::SetTextParam(int key, const char* value)
{
    if (key != 3 || !value || !*value)
        return;
    std::string folder = Utf8ToAnsi(value);
    if (folder.empty())
        return;
    process->SetOutputFolder(folder.c_str());
    outputFolder = AppendPathSeparator(folder.c_str());
}

void CSonacapImpl::SetIntParam(int key, int value)
{
    if (key == 1)
        process->SetSilenceLimit(static_cast<unsigned>(value < 1 ? kDefaultSilenceMs : value));
    else if (key == 2)
        process->SetMinimum(static_cast<unsigned>(value < 1 ? kDefaultMinimumMs : value));
}

void CSonacapImpl::LoopbackConvertRoutine(int event, void* data, int size, void* user)
{
    Channel_Convert(LoopbackEventRoutine, event, data, size, user);
}

void CSonacapImpl::LoopbackEventRoutine(int event, void* data, int size, void* user)
{
    auto* self = static_cast<CSonacapImpl*>(user);
    switch (event) {
    case 0:
        self->dataManager->SetAudioParam(static_cast<const AudioParam*>(data));
        break;
    case 1:
        break;
    case 2:
        self->dataManager->PushData(data, static_cast<unsigned>(size));
        break;
    case 3:
        self->dataManager->PushData(data, static_cast<unsigned>(size));
        std::printf("[EVENT]silent\n");
        break;
    case 4:
        // Only queued: the processing thread ends the song and tells the program.
        self->dataManager->PushEvent(CAudioDataManager::kCaptureLost);
        break;
    case 5:
        self->dataManager->PushEvent(CAudioDataManager::kCaptureRestored);
        break;
    case 6:
        if (data)
            self->dataManager->PushNote(static_cast<const char*>(data));
        break;
    default:
        std::printf("[EVENT]err event[%d]\n", event);
        break;
    }
}

void CSonacapImpl::AudioRecorderCallbackRoutine(int type, void* data, int size, void* user)
{
    auto* manager = static_cast<CAudioDataManager*>(user);
    if (type == 0) {
        if (!data || size < static_cast<int>(sizeof(AudioWaveFormat)))
            return;
        AudioWaveFormat wave;
        std::memcpy(&wave, data, sizeof wave);
        SC_LOG_INFO(kSource, "CSonacapImpl::AudioRecorderCallbackRoutine", "nChannels=%d", wave.channels);
        AudioParam param{static_cast<int32_t>(wave.samplesPerSec), wave.channels, wave.bitsPerSample, 1,
                         wave.channels * wave.bitsPerSample / 8, 1, 0};
        manager->SetAudioParam(&param);
    } else if (type == 1) {
        manager->PushData(data, static_cast<unsigned>(size));
    } else if (type == 2) {
        manager->PushEvent(CAudioDataManager::kCaptureLost);
    } else if (type == 3) {
        manager->PushEvent(CAudioDataManager::kCaptureRestored);
    }
}
