#include "RateFold.h"

#include "Sonacap.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <map>
#include <mutex>
#include <vector>

namespace {

constexpr int32_t kTagFloat = 3;

// Which captures announced float data. Written on the format event, read per
// data block, both on the capture thread of that user; the lock only keeps
// several captures apart.
std::mutex floatLock;
std::map<void*, bool> floatUsers;

bool IsFloat(void* user)
{
    std::lock_guard<std::mutex> guard(floatLock);
    auto it = floatUsers.find(user);
    return it != floatUsers.end() && it->second;
}

int16_t Fold(float x)
{
    if (!(x == x))  // NaN
        return 0;
    float scaled = x * 32767.0f;
    if (scaled >= 32767.0f)
        return 32767;
    if (scaled <= -32768.0f)
        return -32768;
    return static_cast<int16_t>(std::lrintf(scaled));
}

} // namespace

void Channel_Convert(RateFoldTarget target, int event, void* data, int size, void* user)
{
    if (!target)
        return;
    if (event == 0 && data && size >= static_cast<int>(sizeof(AudioParam))) {
        AudioParam param = *static_cast<const AudioParam*>(data);
        bool isFloat = param.formatTag == kTagFloat && param.bitsPerSample == 32;
        {
            std::lock_guard<std::mutex> guard(floatLock);
            floatUsers[user] = isFloat;
        }
        if (isFloat) {
            param.bitsPerSample = 16;
            param.blockAlign = param.channels * 2;
            param.formatTag = 1;
            target(event, &param, sizeof param, user);
            return;
        }
        target(event, data, size, user);
        return;
    }
    if ((event == 2 || event == 3) && data && size > 0 && IsFloat(user)) {
        thread_local std::vector<int16_t> folded;
        size_t count = static_cast<size_t>(size) / sizeof(float);
        folded.resize(count);
        const auto* in = static_cast<const unsigned char*>(data);
        for (size_t i = 0; i < count; ++i) {
            float x;
            std::memcpy(&x, in + i * sizeof(float), sizeof x);
            folded[i] = Fold(x);
        }
        target(event, folded.data(), static_cast<int>(count * sizeof(int16_t)), user);
        return;
    }
    target(event, data, size, user);
}
