#include "pcmsink.h"

#include <sndfile.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <mutex>
#include <vector>

#include "Sonacap.h"

namespace {

// The header is rewritten this often while a file is written, so a killed
// writer leaves at most this much audio outside the header's sizes.
constexpr std::chrono::milliseconds kHeaderRefresh(500);

// PCM is collected into blocks of this size before it reaches the file: one
// write call per block instead of one per 20 ms clip.
constexpr size_t kBlockBytes = 64 * 1024;

struct Sink {
    SNDFILE* file = nullptr;
    // Whole frames not yet handed to libsndfile; flushed when full and at
    // every header refresh, so the refresh covers them.
    std::vector<unsigned char> pending;
    unsigned frameBytes = 0;
    // Bytes of an incomplete frame held back until the rest arrives: libsndfile
    // writes whole frames only.
    unsigned char partial[64] = {};
    unsigned partialBytes = 0;
    std::chrono::steady_clock::time_point lastRefresh;
    // errno of the first failed write; once set nothing more is written.
    int writeError = 0;
};

std::mutex sinkLock;
Sink sink;
// The error of the file closed last, kept for WAV_WriteError after WAV_Close.
int closedWriteError = 0;

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

// Writes through libsndfile, keeping the first failure's errno.
bool WriteRaw(const void* data, sf_count_t size)
{
    if (sink.writeError != 0)
        return false;
    errno = 0;
    if (sf_write_raw(sink.file, data, size) == size)
        return true;
    sink.writeError = errno != 0 ? errno : EIO;
    return false;
}

bool Flush()
{
    if (sink.pending.empty())
        return sink.writeError == 0;
    const sf_count_t size = static_cast<sf_count_t>(sink.pending.size());
    const bool ok = WriteRaw(sink.pending.data(), size);
    sink.pending.clear();
    return ok;
}

bool CloseLocked()
{
    bool ok = true;
    if (sink.file) {
        ok = Flush();
        // A trailing incomplete frame cannot be stored; everything else is.
        // The header is rewritten in place, so it fits even on a full disk,
        // and it counts what the file really holds.
        sf_close(sink.file);
        closedWriteError = sink.writeError;
    }
    sink = Sink();
    return ok;
}

// Appends whole frames to the pending block, writing the block out when full.
bool WriteFrames(const unsigned char* data, unsigned size)
{
    bool ok = true;
    if (sink.pending.size() + size > kBlockBytes)
        ok = Flush();
    if (size >= kBlockBytes)
        return WriteRaw(data, static_cast<sf_count_t>(size)) && ok;
    sink.pending.insert(sink.pending.end(), data, data + size);
    return ok;
}

}  // namespace

int WAV_Open(const char* path, const AudioParam* format)
{
    std::lock_guard<std::mutex> guard(sinkLock);
    CloseLocked();
    closedWriteError = 0;
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
    errno = 0;
    SNDFILE* file = sf_open(path, SFM_WRITE, &info);
    if (!file) {
        closedWriteError = errno != 0 ? errno : EIO;
        return -3;
    }
    sink.file = file;
    sink.frameBytes = static_cast<unsigned>(format->channels * format->bitsPerSample / 8);
    sink.lastRefresh = std::chrono::steady_clock::now();
    sink.pending.reserve(kBlockBytes);
    return 0;
}

int WAV_WriteData(const void* data, unsigned size)
{
    std::lock_guard<std::mutex> guard(sinkLock);
    if (!sink.file)
        return -1;
    if (sink.writeError != 0)
        return -2;
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
        ok = Flush() && ok;
        if (ok)
            sf_command(sink.file, SFC_UPDATE_HEADER_NOW, nullptr, 0);
        sink.lastRefresh = now;
    }
    return ok ? 0 : -2;
}

int WAV_WriteError()
{
    std::lock_guard<std::mutex> guard(sinkLock);
    return sink.file ? sink.writeError : closedWriteError;
}

int WAV_Close()
{
    std::lock_guard<std::mutex> guard(sinkLock);
    return CloseLocked() ? 0 : -2;
}
