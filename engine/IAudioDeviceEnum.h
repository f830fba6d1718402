#pragma once

#include <vector>

#include "AudioDeviceInfo.h"
#include "Sonacap.h"

// The engine's two device lists (inputs, outputs) and the default devices.
// Failures are thrown as CError. Used on the caller's thread only; the lists
// are not locked.
class IAudioDeviceEnum : public CAudioBase {
public:
    ~IAudioDeviceEnum() override;

    virtual void EnumInputDevice() = 0;
    virtual void EnumOutputDevice() = 0;
    virtual int InputDeviceCount() = 0;
    virtual int OutputDeviceCount() = 0;
    virtual void GetDefaultInputDevice(AudioDeviceInfo* out) = 0;
    virtual void GetDefaultOutputDevice(AudioDeviceInfo* out) = 0;
    // Throws -4095 when index is not below the input list's size.
    virtual bool SetDefaultInputDevice(unsigned index);
    virtual bool SetDefaultInputDevice(const AudioDeviceInfo* device) = 0;
    // Throws -4095 when index is not below the output list's size.
    virtual bool SetDefaultOutputDevice(unsigned index);
    virtual bool SetDefaultOutputDevice(const AudioDeviceInfo* device) = 0;
    // Throw std::out_of_range past the end.
    virtual const AudioDeviceInfo* InputDeviceAt(unsigned index);
    virtual const AudioDeviceInfo* OutputDeviceAt(unsigned index);
    // The first entry whose name contains name or is contained in it;
    // CError -4095 (logged "Invalid device name:%s") when none does.
    virtual int FindInputDevice(const char* name);
    virtual int FindOutputDevice(const char* name);

protected:
    IAudioDeviceEnum();

    std::vector<AudioDeviceInfo> inputs;
    std::vector<AudioDeviceInfo> outputs;

private:
    int FindDevice(const std::vector<AudioDeviceInfo>& list, const char* name);
};
