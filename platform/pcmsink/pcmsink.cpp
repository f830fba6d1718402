#include "pcmsink.h"

#include <sndfile.h>

#include <chrono>
#include <algorithm>
#include <cstring>
#include <mutex>

#include "Sonacap.h"

namespace {

// The header is rewritten this often while a file is written, so a killed
// writer leaves at most this much audio outside the header's sizes.
constexpr std::chrono::milliseconds kHeaderRefresh(500);

struct Sink {
    SNDFILE* file = nullptr;
    unsigned frameBytes = 0;
    // Bytes of an incomplete frame held back until the rest arrives: libsndfile
    // writes whole frames only.
    unsigned char partial[64] = {};
    unsigned partialBytes = 0;
    std::chrono::steady_clock::time_point lastRefresh;
};

std::mutex sinkLock;
Sink sink;

int SubFormat(int bits)
{
    switch (bits) {
    case 8: return SF_FORMAT_PCM_U8;
    case 16: return SF_FORMAT_PCM_16;
    case 24: return SF_FORMAT_PCM_24;
    case 32: return SF_FORMAT_FLOAT;
    default: return 0;
    }
}

void CloseLocked()
{
    if (sink.file) {
        // A trailing incomplete frame cannot be stored; everything else is.
        sf_close(sink.file);
    }
    sink = Sink();
}

bool WriteFrames(const unsigned char* data, unsigned size)
{
    if (size == 0)
        return true;
    return sf_write_raw(sink.file, data, size) == static_cast<sf_count_t>(size);
}

}  // namespace

int WAV_Open(const char* path, const AudioParam* format)
{
    std::lock_guard<std::mutex> guard(sinkLock);
    CloseLocked();
    if (!path || !*path || !format)
        return -1;
    const int sub = SubFormat(format->bitsPerSample);
    if (sub == 0 || format->channels < 1 || format->channels > 8 || format->samplesPerSec < 1)
        return -2;

    SF_INFO info;
    std::memset(&info, 0, sizeof(info));
    info.samplerate = format->samplesPerSec;
    info.channels = format->channels;
    info.format = SF_FORMAT_WAV | sub;
    SNDFILE* file = sf_open(path, SFM_WRITE, &info);
    if (!file)
        return -3;
    sink.file = file;
    sink.frameBytes = static_cast<unsigned>(format->channels * format->bitsPerSample / 8);
    sink.lastRefresh = std::chrono::steady_clock::now();
    return 0;
}

int WAV_WriteData(const void* data, unsigned size)
{
    std::lock_guard<std::mutex> guard(sinkLock);
    if (!sink.file)
        return -1;
    if (!data || size == 0)
        return 0;
    const unsigned char* bytes = static_cast<const unsigned char*>(data);
    bool ok = true;

    if (sink.partialBytes > 0) {
        const unsigned take = std::min(size, sink.frameBytes - sink.partialBytes);
        std::memcpy(sink.partial + sink.partialBytes, bytes, take);
        sink.partialBytes += take;
        bytes += take;
        size -= take;
        if (sink.partialBytes == sink.frameBytes) {
            ok = WriteFrames(sink.partial, sink.frameBytes);
            sink.partialBytes = 0;
        }
    }
    const unsigned whole = size - size % sink.frameBytes;
    ok = WriteFrames(bytes, whole) && ok;
    std::memcpy(sink.partial + sink.partialBytes, bytes + whole, size - whole);
    sink.partialBytes += size - whole;

    const auto now = std::chrono::steady_clock::now();
    if (now - sink.lastRefresh >= kHeaderRefresh) {
        sf_command(sink.file, SFC_UPDATE_HEADER_NOW, nullptr, 0);
        sink.lastRefresh = now;
    }
    return ok ? 0 : -2;
}

int WAV_Close()
{
    std::lock_guard<std::mutex> guard(sinkLock);
    CloseLocked();
    return 0;
}
