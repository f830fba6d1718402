#pragma once

#include <string>

#include "IAudioDeviceEnum.h"

class PulseSession;

// Device lists over the sound server: inputs are the sources that are not the
// monitor of a sink (recording what plays is the loopback mode's job),
// outputs are the sinks; names are the server's descriptions.
// Each operation opens its own short connection, so a server restart between
// calls does no harm. An unreachable server throws -4093.
class CWinAudioDeviceEnum : public IAudioDeviceEnum {
public:
    CWinAudioDeviceEnum();
    ~CWinAudioDeviceEnum() override;

    void EnumInputDevice() override;
    void EnumOutputDevice() override;
    int InputDeviceCount() override;
    int OutputDeviceCount() override;
    // id = the server's name of the device, name = its description;
    // -4094 when the server has no default device of that kind.
    void GetDefaultInputDevice(AudioDeviceInfo* out) override;
    void GetDefaultOutputDevice(AudioDeviceInfo* out) override;
    using IAudioDeviceEnum::SetDefaultInputDevice;
    using IAudioDeviceEnum::SetDefaultOutputDevice;
    // Logs "Not support" and changes nothing.
    bool SetDefaultInputDevice(const AudioDeviceInfo* device) override;
    // The sink whose name equals the record's id, else the first whose
    // description matches the record's name; tried twice. -4095 when none matches.
    bool SetDefaultOutputDevice(const AudioDeviceInfo* device) override;

private:
    void Connect(PulseSession* session);
    // Refills the input list (sources without monitors) or the output list (sinks).
    void Enumerate(bool input);
    void GetDefaultDevice(bool output, AudioDeviceInfo* out);
    bool ChangePlaybackDevice(const AudioDeviceInfo* device);
};
