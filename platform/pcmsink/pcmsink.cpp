#include "pcmsink.h"

#include <fcntl.h>
#include <sndfile.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <mutex>
#include <vector>

#include "Sonacap.h"

namespace {

// PCM is collected into blocks before it reaches the file (one write call per
// block instead of one per 20 ms clip), but never more than a quarter second of
// the song: what a killed program loses is what was not written yet. Every
// block brings the header up to date, so the file stays a valid WAV of all the
// blocks written.
constexpr unsigned kBlockMs = 250;
constexpr size_t kMaxBlockBytes = 64 * 1024;

struct Sink {
    SNDFILE* file = nullptr;
    int fd = -1;
    // Whole frames not yet handed to libsndfile, at most `blockBytes`.
    std::vector<unsigned char> pending;
    size_t blockBytes = 0;
    unsigned frameBytes = 0;
    // Bytes of an incomplete frame held back until the rest arrives: libsndfile
    // writes whole frames only.
    unsigned char partial[64] = {};
    unsigned partialBytes = 0;
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

// Writes through libsndfile, keeping the first failure's errno, and brings
// the header up to date.
bool WriteRaw(const void* data, sf_count_t size)
{
    if (sink.writeError != 0)
        return false;
    errno = 0;
    if (sf_write_raw(sink.file, data, size) != size) {
        sink.writeError = errno != 0 ? errno : EIO;
        return false;
    }
    // The header is rewritten in place: it needs no new room on the disk.
    sf_command(sink.file, SFC_UPDATE_HEADER_NOW, nullptr, 0);
    return true;
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
    if (sink.pending.size() + size > sink.blockBytes)
        ok = Flush();
    if (size >= sink.blockBytes)
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
    // Opened here rather than by libsndfile, so that the descriptor is known
    // (WAV_Descriptor) and not inherited by programs started meanwhile.
    errno = 0;
    const int fd = open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) {
        closedWriteError = errno != 0 ? errno : EIO;
        return -3;
    }
    // libsndfile owns the descriptor from here on, and closes it on failure too.
    SNDFILE* file = sf_open_fd(fd, SFM_WRITE, &info, SF_TRUE);
    if (!file) {
        closedWriteError = errno != 0 ? errno : EIO;
        return -3;
    }
    sink.file = file;
    sink.fd = fd;
    sink.frameBytes = static_cast<unsigned>(format->channels * format->bitsPerSample / 8);
    const size_t quarter = static_cast<size_t>(format->samplesPerSec) * kBlockMs / 1000 * sink.frameBytes;
    sink.blockBytes = std::max<size_t>(sink.frameBytes, std::min(kMaxBlockBytes, quarter));
    sink.pending.reserve(sink.blockBytes);
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
    return ok ? 0 : -2;
}

int WAV_WriteError()
{
    std::lock_guard<std::mutex> guard(sinkLock);
    return sink.file ? sink.writeError : closedWriteError;
}

int WAV_Descriptor()
{
    std::lock_guard<std::mutex> guard(sinkLock);
    return sink.fd;
}

int WAV_Close()
{
    std::lock_guard<std::mutex> guard(sinkLock);
    return CloseLocked() ? 0 : -2;
}
