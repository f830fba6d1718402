#include "CWinAudioDeviceEnum.h"

#include <cstring>
#include <vector>

#include "CError.h"
#include "EngineUtils.h"
#include "Log.h"
#include "PulseSession.h"

namespace {
const char* const kSource = "WinAudioDeviceEnum";
}

CWinAudioDeviceEnum::CWinAudioDeviceEnum() = default;

CWinAudioDeviceEnum::~CWinAudioDeviceEnum() = default;

void CWinAudioDeviceEnum::Connect(PulseSession* session)
{
    if (!session->Connect()) {
        SC_LOG_ERROR(kSource, "CWinAudioDeviceEnum::Connect", "sound server connect failed:%s",
                     session->LastError().c_str());
        ThrowCodedError(kErrSystem);
    }
}

void CWinAudioDeviceEnum::Enumerate(bool input)
{
    std::vector<AudioDeviceInfo>& list = input ? inputs : outputs;
    const char* function = input ? "CWinAudioDeviceEnum::EnumInputDevice" : "CWinAudioDeviceEnum::EnumOutputDevice";
    list.clear();
    PulseSession session;
    Connect(&session);
    std::vector<PulseDevice> devices;
    if (!(input ? session.ListSources(&devices) : session.ListSinks(&devices))) {
        SC_LOG_ERROR(kSource, function, input ? "list sources failed:%s" : "list sinks failed:%s",
                     session.LastError().c_str());
        ThrowCodedError(kErrSystem);
    }
    for (const PulseDevice& d : devices) {
        // Recording what plays is the loopback's job, not an input's.
        if (d.isMonitor)
            continue;
        AudioDeviceInfo info;
        SetAudioDeviceInfo(&info, std::to_string(list.size()), d.description);
        if (input)
            SC_LOG_DEBUG(kSource, function, "InputDevName:%s,InputDevId:%s", info.name, info.id);
        else
            SC_LOG_DEBUG(kSource, function, "OutputDevName:%s,OutputDevId:%s", info.name, info.id);
        list.push_back(info);
    }
}

void CWinAudioDeviceEnum::EnumInputDevice()
{
    Enumerate(true);
}

void CWinAudioDeviceEnum::EnumOutputDevice()
{
    Enumerate(false);
}

int CWinAudioDeviceEnum::InputDeviceCount()
{
    return static_cast<int>(inputs.size());
}

int CWinAudioDeviceEnum::OutputDeviceCount()
{
    return static_cast<int>(outputs.size());
}

void CWinAudioDeviceEnum::GetDefaultDevice(bool output, AudioDeviceInfo* out)
{
    PulseSession session;
    Connect(&session);
    std::string sinkName, sourceName;
    std::vector<PulseDevice> devices;
    bool ok = session.GetDefaults(&sinkName, &sourceName) &&
              (output ? session.ListSinks(&devices) : session.ListSources(&devices));
    if (!ok) {
        SC_LOG_ERROR(kSource, "CWinAudioDeviceEnum::GetDefaultDevice", "server query failed:%s",
                     session.LastError().c_str());
        ThrowCodedError(kErrSystem);
    }
    const std::string& wanted = output ? sinkName : sourceName;
    for (const PulseDevice& d : devices) {
        if (!wanted.empty() && d.name == wanted) {
            SetAudioDeviceInfo(out, d.name, d.description);
            return;
        }
    }
    SC_LOG_ERROR(kSource, "CWinAudioDeviceEnum::GetDefaultDevice", "Not exist audio  device");
    ThrowCodedError(kErrNoDevice);
}

void CWinAudioDeviceEnum::GetDefaultInputDevice(AudioDeviceInfo* out)
{
    GetDefaultDevice(false, out);
}

void CWinAudioDeviceEnum::GetDefaultOutputDevice(AudioDeviceInfo* out)
{
    GetDefaultDevice(true, out);
}

bool CWinAudioDeviceEnum::SetDefaultInputDevice(const AudioDeviceInfo*)
{
    SC_LOG_ERROR(kSource, "CWinAudioDeviceEnum::SetDefaultInputDevice", "Not support");
    return false;
}

bool CWinAudioDeviceEnum::ChangePlaybackDevice(const AudioDeviceInfo* device)
{
    PulseSession session;
    Connect(&session);
    std::vector<PulseDevice> sinks;
    if (!session.ListSinks(&sinks)) {
        SC_LOG_ERROR(kSource, "CWinAudioDeviceEnum::ChangePlaybackDevice", "list sinks failed:%s",
                     session.LastError().c_str());
        ThrowCodedError(kErrSystem);
    }
    const PulseDevice* match = nullptr;
    // An exact server name picks exactly that sink even when descriptions repeat.
    for (const PulseDevice& d : sinks) {
        if (device->id[0] != '\0' && d.name == device->id) {
            match = &d;
            break;
        }
    }
    if (!match) {
        const int found = MatchDeviceName(
            sinks.size(), [&sinks](size_t i) { return sinks[i].description.c_str(); }, device->name);
        if (found >= 0)
            match = &sinks[static_cast<size_t>(found)];
    }
    if (!match)
        ThrowCodedError(kErrInvalidDevice);
    if (!session.SetDefaultSink(match->name)) {
        SC_LOG_ERROR(kSource, "CWinAudioDeviceEnum::ChangePlaybackDevice", "set default sink failed:%s",
                     session.LastError().c_str());
        return false;
    }
    return true;
}

bool CWinAudioDeviceEnum::SetDefaultOutputDevice(const AudioDeviceInfo* device)
{
    if (!device)
        ThrowCodedError(kErrInvalidDevice);
    if (ChangePlaybackDevice(device))
        return true;
    return ChangePlaybackDevice(device);
}
