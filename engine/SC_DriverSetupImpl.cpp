#include "SC_DriverSetupImpl.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "CError.h"
#include "CWinAudioDeviceEnum.h"
#include "EngineUtils.h"
#include "Log.h"
#include "PulseSession.h"

namespace {

const char* const kSource = "SC_DriverSetupImpl";
const char* const kModule = "module-null-sink";
const char* const kDescription = "Tavrel Audio Device";
constexpr int kNameSize = 1024;

bool IsOurModule(const PulseModule& m)
{
    return m.name == kModule &&
           m.argument.find(std::string("sink_name=") + SC_DriverSetupImpl::kSinkName) != std::string::npos;
}

} // namespace

const char* const SC_DriverSetupImpl::kDeviceName = "Tavrel Audio";
const char* const SC_DriverSetupImpl::kSinkName = "tavrel_audio";

ISonacapDriverSetup* ISonacapDriverSetup::GetInstance(const char* driverDir)
{
    std::string folder = driverDir ? Utf8ToAnsi(driverDir) : GetProgramFolder() + "driver/";
    return new SC_DriverSetupImpl(folder);
}

SC_DriverSetupImpl::SC_DriverSetupImpl(const std::string& dir)
    : deviceEnum(new CWinAudioDeviceEnum()), driverDir(AppendPathSeparator(dir.c_str()))
{
}

SC_DriverSetupImpl::~SC_DriverSetupImpl()
{
    delete deviceEnum;
}

bool SC_DriverSetupImpl::CheckDriverExist(const char* version)
{
    try {
        deviceEnum->EnumOutputDevice();
        int index = deviceEnum->FindOutputDevice(kDeviceName);
        if (!version)
            return true;
        std::string wanted = Utf8ToAnsi(version);
        return std::strstr(deviceEnum->OutputDeviceAt(static_cast<unsigned>(index))->name, wanted.c_str()) != nullptr;
    } catch (CError& e) {
        SC_LOG_INFO(kSource, "SC_DriverSetupImpl::CheckDriverExist", "code=%d,msg=%s", e.Code(), e.Message().c_str());
    } catch (...) {
        SC_LOG_INFO(kSource, "SC_DriverSetupImpl::CheckDriverExist", "Unknown error");
    }
    return false;
}

bool SC_DriverSetupImpl::GetDefaultPlaybackDevice(char* buffer, int size)
{
    if (!buffer || size <= 0)
        return true;
    try {
        AudioDeviceInfo info;
        deviceEnum->GetDefaultOutputDevice(&info);
        size_t n = std::min(std::strlen(info.name), static_cast<size_t>(size) - 1);
        std::memcpy(buffer, info.name, n);
        buffer[n] = '\0';
        SC_LOG_INFO(kSource, "SC_DriverSetupImpl::GetDefaultPlaybackDevice", "default playback device:%s", buffer);
        return true;
    } catch (CError& e) {
        SC_LOG_ERROR(kSource, "SC_DriverSetupImpl::GetDefaultPlaybackDevice", "code=%d,msg=%s", e.Code(),
                     e.Message().c_str());
    } catch (...) {
        SC_LOG_ERROR(kSource, "SC_DriverSetupImpl::GetDefaultPlaybackDevice", "Unknown error");
    }
    return false;
}

bool SC_DriverSetupImpl::SetDefaultPlaybackDevice(const char* name)
{
    if (!name || !*name)
        return true;
    try {
        deviceEnum->EnumOutputDevice();
        int index = deviceEnum->FindOutputDevice(name);
        return deviceEnum->SetDefaultOutputDevice(static_cast<unsigned>(index));
    } catch (CError& e) {
        SC_LOG_ERROR(kSource, "SC_DriverSetupImpl::SetDefaultPlaybackDevice", "code=%d,msg=%s", e.Code(),
                     e.Message().c_str());
    } catch (...) {
        SC_LOG_ERROR(kSource, "SC_DriverSetupImpl::SetDefaultPlaybackDevice", "Unknown error");
    }
    return false;
}

bool SC_DriverSetupImpl::LoadDevice()
{
    PulseSession session("Sonacap driver setup");
    std::vector<PulseModule> modules;
    if (!session.Connect() || !session.ListModules(&modules)) {
        SC_LOG_ERROR(kSource, "SC_DriverSetupImpl::Install", "sound server:%s", session.LastError().c_str());
        return false;
    }
    // Installed already: a second device of the same name would only confuse.
    for (const PulseModule& m : modules) {
        if (IsOurModule(m))
            return true;
    }
    std::string argument = std::string("sink_name=") + kSinkName + " sink_properties='device.description=\"" +
                           kDescription + "\"'";
    if (!session.LoadModule(kModule, argument, nullptr)) {
        SC_LOG_ERROR(kSource, "SC_DriverSetupImpl::Install", "load module failed:%s", session.LastError().c_str());
        return false;
    }
    return true;
}

bool SC_DriverSetupImpl::UnloadDevice()
{
    PulseSession session("Sonacap driver setup");
    std::vector<PulseModule> modules;
    if (!session.Connect() || !session.ListModules(&modules)) {
        SC_LOG_ERROR(kSource, "SC_DriverSetupImpl::Uninstall", "sound server:%s", session.LastError().c_str());
        return false;
    }
    bool ok = true;
    for (const PulseModule& m : modules) {
        if (IsOurModule(m) && !session.UnloadModule(m.index)) {
            SC_LOG_ERROR(kSource, "SC_DriverSetupImpl::Uninstall", "unload module failed:%s",
                         session.LastError().c_str());
            ok = false;
        }
    }
    return ok;
}

bool SC_DriverSetupImpl::Install()
{
    char oldDefault[kNameSize] = {};
    GetDefaultPlaybackDevice(oldDefault, kNameSize);
    if (!LoadDevice()) {
        SC_LOG_ERROR(kSource, "SC_DriverSetupImpl::Install", "install audio driver failed");
        return false;
    }
    SC_LOG_INFO(kSource, "SC_DriverSetupImpl::Install", "install audio driver success");
    for (int i = 0; i < 20; ++i) {
        SleepMs(50);
        char current[kNameSize] = {};
        GetDefaultPlaybackDevice(current, kNameSize);
        if (!std::strstr(oldDefault, current)) {
            SC_LOG_INFO(kSource, "SC_DriverSetupImpl::Install", "system auto switch default device");
            break;
        }
    }
    if (oldDefault[0] != '\0') {
        if (SetDefaultPlaybackDevice(oldDefault))
            SC_LOG_INFO(kSource, "SC_DriverSetupImpl::Install", "switch default device OK");
        else
            SC_LOG_ERROR(kSource, "SC_DriverSetupImpl::Install", "switch default device error");
    }
    return true;
}

bool SC_DriverSetupImpl::Uninstall()
{
    for (int attempt = 0; attempt < 3; ++attempt) {
        if (UnloadDevice()) {
            SC_LOG_INFO(kSource, "SC_DriverSetupImpl::Uninstall", "uninstall audio driver success");
            return true;
        }
        SC_LOG_ERROR(kSource, "SC_DriverSetupImpl::Uninstall", "uninstall audio driver failed");
        SleepMs(100);
    }
    return false;
}

bool SC_DriverSetupImpl::IsDriverDefaultDevice()
{
    if (!CheckDriverExist(nullptr))
        return false;
    char name[kNameSize] = {};
    if (!GetDefaultPlaybackDevice(name, kNameSize))
        return false;
    return std::strstr(name, kDeviceName) != nullptr;
}
