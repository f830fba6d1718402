#include "IAudioDeviceEnum.h"

#include <cstring>

#include "CError.h"
#include "Log.h"

void SetAudioDeviceInfo(AudioDeviceInfo* info, const std::string& id, const std::string& name)
{
    std::memset(info, 0, sizeof *info);
    std::strncpy(info->id, id.c_str(), sizeof info->id - 1);
    std::strncpy(info->name, name.c_str(), sizeof info->name - 1);
}

bool DeviceNameMatches(const char* listed, const char* wanted)
{
    if (!listed || !wanted)
        return false;
    return std::strstr(listed, wanted) != nullptr || std::strstr(wanted, listed) != nullptr;
}

int MatchDeviceName(size_t count, const std::function<const char*(size_t)>& nameAt, const char* wanted)
{
    if (!wanted)
        return -1;
    for (size_t i = 0; i < count; ++i) {
        const char* listed = nameAt(i);
        if (listed && std::strcmp(listed, wanted) == 0)
            return static_cast<int>(i);
    }
    for (size_t i = 0; i < count; ++i) {
        if (DeviceNameMatches(nameAt(i), wanted))
            return static_cast<int>(i);
    }
    return -1;
}

bool IsVistaOrLater()
{
    return true;
}

IAudioDeviceEnum::IAudioDeviceEnum() = default;

IAudioDeviceEnum::~IAudioDeviceEnum() = default;

bool IAudioDeviceEnum::SetDefaultInputDevice(unsigned index)
{
    if (index >= inputs.size())
        ThrowCodedError(kErrInvalidDevice);
    return SetDefaultInputDevice(&inputs[index]);
}

bool IAudioDeviceEnum::SetDefaultOutputDevice(unsigned index)
{
    if (index >= outputs.size())
        ThrowCodedError(kErrInvalidDevice);
    return SetDefaultOutputDevice(&outputs[index]);
}

const AudioDeviceInfo* IAudioDeviceEnum::InputDeviceAt(unsigned index)
{
    return &inputs.at(index);
}

const AudioDeviceInfo* IAudioDeviceEnum::OutputDeviceAt(unsigned index)
{
    return &outputs.at(index);
}

int IAudioDeviceEnum::FindDevice(const std::vector<AudioDeviceInfo>& list, const char* name)
{
    const int found = MatchDeviceName(list.size(), [&list](size_t i) { return list[i].name; }, name);
    if (found >= 0)
        return found;
    SC_LOG_ERROR("AudioDeviceEnum", "IAudioDeviceEnum::FindDevice", "Invalid device name:%s", name ? name : "");
    ThrowCodedError(kErrInvalidDevice);
}

int IAudioDeviceEnum::FindInputDevice(const char* name)
{
    return FindDevice(inputs, name);
}

int IAudioDeviceEnum::FindOutputDevice(const char* name)
{
    return FindDevice(outputs, name);
}
