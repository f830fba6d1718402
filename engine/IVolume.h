#pragma once

#include "AudioDeviceInfo.h"
#include "Sonacap.h"

// The volume and mute state of one device, as levels on a range the owner sets.
class IVolume : public CAudioBase {
public:
    ~IVolume() override;
    // kind: 0 output, 1 input. Failures are thrown as CError.
    virtual void Open(const AudioDeviceInfo* device, int kind) = 0;
    virtual bool GetMute() = 0;
    // Results: 0 on success.
    virtual int SetMute(bool mute) = 0;
    virtual int SetVolume(int level) = 0;
    virtual int GetVolume() = 0;
    virtual void SetRange(int min, int max) = 0;

protected:
    IVolume();
};
