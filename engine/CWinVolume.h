#pragma once

#include <memory>
#include <string>

#include "IVolume.h"

class PulseSession;

// Volume of a sink (kind 0) or a non-monitor source (kind 1) of the sound
// server, found by description (substring both ways). Levels map linearly onto
// the server's scale, 0 (silent) to 100 % (normal); a set rounds up and a read
// truncates, so a level read back after a set is the level set.
// Used on one thread at a time (the caller's); holds its own connection while open.
class CWinVolume : public IVolume {
public:
    CWinVolume();
    ~CWinVolume() override;

    // Closes first. -4093 without a server, -4095 ("Not find device") when no
    // device of that kind matches the record's name.
    void Open(const AudioDeviceInfo* device, int kind) override;
    void Close();
    bool GetMute() override;
    int SetMute(bool mute) override;
    int SetVolume(int level) override;
    int GetVolume() override;
    void SetRange(int min, int max) override;

private:
    std::unique_ptr<PulseSession> session;
    std::string endpoint;  // the server's name of the opened device; empty when closed
    int kind;
    int min;
    int max;
};
