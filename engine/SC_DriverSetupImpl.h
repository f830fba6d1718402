#pragma once

#include <string>

#include "Sonacap.h"

class CWinAudioDeviceEnum;

// The virtual audio device: a null sink of the sound server named
// "Tavrel Audio Device". Installing loads it (and puts the previous default
// output back if the server switched to it), uninstalling unloads it. It lives
// as long as the server does.
// Runs on the caller's thread; no operation throws.
class SC_DriverSetupImpl : public ISonacapDriverSetup {
public:
    static const char* const kDeviceName;   // "Tavrel Audio", as lists show it
    static const char* const kSinkName;     // the server's name of the sink

    explicit SC_DriverSetupImpl(const std::string& driverDir);
    ~SC_DriverSetupImpl() override;

    bool CheckDriverExist(const char* version) override;
    bool Install() override;
    bool Uninstall() override;
    bool IsDriverDefaultDevice() override;

    const std::string& DriverDir() const { return driverDir; }

private:
    bool GetDefaultPlaybackDevice(char* buffer, int size);
    bool SetDefaultPlaybackDevice(const char* name);
    bool LoadDevice();
    bool UnloadDevice();

    CWinAudioDeviceEnum* deviceEnum;
    std::string driverDir;
};
