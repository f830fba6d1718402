#include "CWinVolume.h"

#include <cmath>
#include <vector>

#include "CError.h"
#include "Log.h"
#include "PulseSession.h"

namespace {
const char* const kSource = "WinVolume";
}

IVolume::IVolume() = default;

IVolume::~IVolume() = default;

CWinVolume::CWinVolume() : kind(0), min(0), max(100) {}

CWinVolume::~CWinVolume()
{
    Close();
}

void CWinVolume::Close()
{
    session.reset();
    endpoint.clear();
    kind = 0;
}

void CWinVolume::Open(const AudioDeviceInfo* device, int deviceKind)
{
    Close();
    kind = deviceKind;
    auto s = std::make_unique<PulseSession>("Sonacap volume");
    if (!s->Connect()) {
        SC_LOG_ERROR(kSource, "CWinVolume::Open", "sound server connect failed:%s", s->LastError().c_str());
        ThrowCodedError(kErrSystem);
    }
    bool input = kind == 1;
    std::vector<PulseDevice> devices;
    if (!(input ? s->ListSources(&devices) : s->ListSinks(&devices))) {
        SC_LOG_ERROR(kSource, "CWinVolume::Open", "list devices failed:%s", s->LastError().c_str());
        ThrowCodedError(kErrSystem);
    }
    const int found = MatchDeviceName(
        devices.size(),
        [&devices](size_t i) { return devices[i].isMonitor ? nullptr : devices[i].description.c_str(); },
        device ? device->name : nullptr);
    if (found >= 0) {
        endpoint = devices[static_cast<size_t>(found)].name;
        session = std::move(s);
        return;
    }
    SC_LOG_ERROR(kSource, "CWinVolume::Open", "Not find device");
    ThrowCodedError(kErrInvalidDevice);
}

void CWinVolume::SetRange(int newMin, int newMax)
{
    SC_LOG_INFO(kSource, "CWinVolume::SetRange", "volume range set:min = %d,max=%d", newMin, newMax);
    if (newMax <= newMin) {
        SC_LOG_WARNING(kSource, "CWinVolume::SetRange", "Invalid volume range");
        return;
    }
    min = newMin;
    max = newMax;
}

int CWinVolume::SetVolume(int level)
{
    if (level < min)
        level = min;
    if (level > max)
        level = max;
    SC_LOG_INFO(kSource, "CWinVolume::SetVolume", "original volume:%d", level);
    if (!session) {
        SC_LOG_ERROR(kSource, "CWinVolume::SetVolume", "m_pEndpointVolume == NULL");
        return -1;
    }
    float scalar = static_cast<float>(level - min) / static_cast<float>(max - min);
    SC_LOG_INFO(kSource, "CWinVolume::SetVolume", "transformed volume:%f", scalar);
    // Rounded up so that the truncating read gives the same level back.
    auto raw = static_cast<pa_volume_t>(
        std::ceil(static_cast<double>(level - min) * PA_VOLUME_NORM / static_cast<double>(max - min)));
    if (!session->SetVolume(kind == 1, endpoint, raw)) {
        SC_LOG_ERROR(kSource, "CWinVolume::SetVolume", "set volume failed:%s", session->LastError().c_str());
        return -1;
    }
    return 0;
}

int CWinVolume::GetVolume()
{
    if (!session) {
        SC_LOG_ERROR(kSource, "CWinVolume::GetVolume", "m_pEndpointVolume == NULL");
        return 0;
    }
    pa_volume_t raw = 0;
    if (!session->GetVolume(kind == 1, endpoint, &raw, nullptr)) {
        SC_LOG_ERROR(kSource, "CWinVolume::GetVolume", "get volume failed:%s", session->LastError().c_str());
        return 0;
    }
    // The server allows more than 100 %; the level stays on the range.
    if (raw > PA_VOLUME_NORM)
        raw = PA_VOLUME_NORM;
    SC_LOG_INFO(kSource, "CWinVolume::GetVolume", "orignal volume:%f", static_cast<double>(raw) / PA_VOLUME_NORM);
    int level = static_cast<int>(static_cast<int64_t>(max - min) * raw / PA_VOLUME_NORM) + min;
    SC_LOG_INFO(kSource, "CWinVolume::GetVolume", "transformed volume:%d", level);
    return level;
}

bool CWinVolume::GetMute()
{
    bool muted = false;
    if (session && !session->GetVolume(kind == 1, endpoint, nullptr, &muted))
        SC_LOG_ERROR(kSource, "CWinVolume::GetMute", "get mute failed:%s", session->LastError().c_str());
    SC_LOG_INFO(kSource, "CWinVolume::GetMute", "GetMute:%s", muted ? "true" : "false");
    return muted;
}

int CWinVolume::SetMute(bool mute)
{
    SC_LOG_INFO(kSource, "CWinVolume::SetMute", "SetMute:%s", mute ? "true" : "false");
    if (!session)
        return -1;
    if (!session->SetMute(kind == 1, endpoint, mute)) {
        SC_LOG_ERROR(kSource, "CWinVolume::SetMute", "set mute failed:%s", session->LastError().c_str());
        return -1;
    }
    return 0;
}
