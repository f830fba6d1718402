// samplecut over libsndfile: decode, average the channels, convert the rate,
// write a 16-bit mono WAV image.
#include "samplecut.h"

#include <sndfile.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

constexpr int kNoAudio = 0;
constexpr int kCannotRead = -1;
constexpr int kCannotDecode = -2;

// Rates and channel counts beyond these are no real recording; refusing them
// bounds the memory a crafted header can ask for.
constexpr int kMaxInputRate = 768000;
constexpr int kMaxChannels = 1024;
constexpr sf_count_t kChunkFrames = 4096;

// The interpolation kernel: a Blackman-windowed sinc over kZeroCrossings lobes
// on each side, its pass band ending at kPassFraction of the lower Nyquist
// frequency, tabulated kTableResolution times per lobe.
constexpr int kZeroCrossings = 12;
constexpr int kTableResolution = 128;
constexpr double kPassFraction = 0.9;

// ---------------------------------------------------------------- memory file

struct MemoryFile {
    const unsigned char* data;
    sf_count_t size;
    sf_count_t position;
};

sf_count_t MemoryLength(void* user)
{
    return static_cast<MemoryFile*>(user)->size;
}

sf_count_t MemorySeek(sf_count_t offset, int whence, void* user)
{
    auto* file = static_cast<MemoryFile*>(user);
    sf_count_t base = 0;
    if (whence == SEEK_CUR)
        base = file->position;
    else if (whence == SEEK_END)
        base = file->size;
    const sf_count_t target = base + offset;
    if (target < 0 || target > file->size)
        return -1;
    file->position = target;
    return target;
}

sf_count_t MemoryRead(void* destination, sf_count_t count, void* user)
{
    auto* file = static_cast<MemoryFile*>(user);
    const sf_count_t n = std::max<sf_count_t>(0, std::min(count, file->size - file->position));
    if (n > 0)
        std::memcpy(destination, file->data + file->position, static_cast<size_t>(n));
    file->position += n;
    return n;
}

sf_count_t MemoryWrite(const void*, sf_count_t, void*)
{
    return 0;
}

sf_count_t MemoryTell(void* user)
{
    return static_cast<MemoryFile*>(user)->position;
}

// ---------------------------------------------------------------- rate conversion

class SincTable {
public:
    SincTable() : m_values(kZeroCrossings * kTableResolution + 2)
    {
        for (size_t i = 0; i < m_values.size(); ++i) {
            const double u = static_cast<double>(i) / kTableResolution;
            if (u >= kZeroCrossings) {
                m_values[i] = 0.0f;
                continue;
            }
            const double sinc = u == 0.0 ? 1.0 : std::sin(M_PI * u) / (M_PI * u);
            const double v = u / kZeroCrossings;
            const double window = 0.42 + 0.5 * std::cos(M_PI * v) + 0.08 * std::cos(2.0 * M_PI * v);
            m_values[i] = static_cast<float>(sinc * window);
        }
    }
    // The windowed sinc at |u| lobes from its centre.
    float At(double u) const
    {
        u = std::fabs(u) * kTableResolution;
        const size_t i = static_cast<size_t>(u);
        if (i + 1 >= m_values.size())
            return 0.0f;
        const float fraction = static_cast<float>(u - static_cast<double>(i));
        return m_values[i] + fraction * (m_values[i + 1] - m_values[i]);
    }

private:
    std::vector<float> m_values;
};

std::vector<float> ConvertRate(const std::vector<float>& in, int inRate, int outRate)
{
    if (inRate == outRate || in.empty())
        return in;
    static const SincTable table;
    const double ratio = static_cast<double>(outRate) / inRate;
    // Cut-off in cycles per input sample, below the lower of the two Nyquist
    // frequencies; the kernel's width in input samples follows from it.
    const double cutoff = 0.5 * std::min(1.0, ratio) * kPassFraction;
    const double scale = 2.0 * cutoff;
    const double halfWidth = kZeroCrossings / scale;
    const int64_t inCount = static_cast<int64_t>(in.size());
    const int64_t outCount = inCount * outRate / inRate;

    std::vector<float> out(static_cast<size_t>(outCount));
    for (int64_t n = 0; n < outCount; ++n) {
        const double t = static_cast<double>(n) * inRate / outRate;
        const int64_t first = std::max<int64_t>(0, static_cast<int64_t>(std::ceil(t - halfWidth)));
        const int64_t last = std::min<int64_t>(inCount - 1, static_cast<int64_t>(std::floor(t + halfWidth)));
        double sum = 0.0;
        for (int64_t k = first; k <= last; ++k)
            sum += in[static_cast<size_t>(k)] * table.At(scale * (t - static_cast<double>(k)));
        out[static_cast<size_t>(n)] = static_cast<float>(sum * scale);
    }
    return out;
}

// ---------------------------------------------------------------- WAV image

void PutLe(std::vector<unsigned char>& out, uint32_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out.push_back(static_cast<unsigned char>((value >> (8 * i)) & 0xff));
}

void PutText(std::vector<unsigned char>& out, const char* text)
{
    out.insert(out.end(), text, text + 4);
}

std::vector<unsigned char> WavImage(const std::vector<int16_t>& samples)
{
    const uint32_t dataBytes = static_cast<uint32_t>(samples.size() * 2);
    std::vector<unsigned char> out;
    out.reserve(44 + dataBytes);
    PutText(out, "RIFF");
    PutLe(out, dataBytes + 36, 4);
    PutText(out, "WAVE");
    PutText(out, "fmt ");
    PutLe(out, 16, 4);
    PutLe(out, 1, 2);                    // PCM
    PutLe(out, 1, 2);                    // mono
    PutLe(out, SAMPLECUT_RATE, 4);
    PutLe(out, SAMPLECUT_RATE * 2, 4);   // byte rate
    PutLe(out, 2, 2);                    // block align
    PutLe(out, 16, 2);                   // bits
    PutText(out, "data");
    PutLe(out, dataBytes, 4);
    for (int16_t s : samples)
        PutLe(out, static_cast<uint16_t>(s), 2);
    return out;
}

// ---------------------------------------------------------------- the cut

// Reads the window from an open decoder, which it closes.
int Cut(SNDFILE* sf, const SF_INFO& info, int startSeconds, int lengthSeconds, unsigned char** sample)
{
    struct Closer {
        SNDFILE* sf;
        ~Closer() { sf_close(sf); }
    } closer{sf};

    if (info.samplerate <= 0 || info.samplerate > kMaxInputRate || info.channels <= 0
        || info.channels > kMaxChannels)
        return kCannotDecode;
    if (lengthSeconds <= 0)
        return kNoAudio;
    const int channels = info.channels;
    const sf_count_t startFrame = static_cast<sf_count_t>(std::max(0, startSeconds)) * info.samplerate;
    const sf_count_t wanted = static_cast<sf_count_t>(lengthSeconds) * info.samplerate;

    std::vector<float> chunk(static_cast<size_t>(kChunkFrames * channels));
    sf_count_t skip = startFrame;
    if (skip > 0 && info.seekable) {
        if (sf_seek(sf, skip, SEEK_SET) < 0)
            return kNoAudio;   // the window starts after the end
        skip = 0;
    }
    while (skip > 0) {
        const sf_count_t got = sf_readf_float(sf, chunk.data(), std::min(skip, kChunkFrames));
        if (got <= 0)
            return kNoAudio;
        skip -= got;
    }

    std::vector<float> mono;
    mono.reserve(static_cast<size_t>(wanted));
    while (static_cast<sf_count_t>(mono.size()) < wanted) {
        const sf_count_t ask = std::min(kChunkFrames, wanted - static_cast<sf_count_t>(mono.size()));
        const sf_count_t got = sf_readf_float(sf, chunk.data(), ask);
        if (got <= 0)
            break;   // the end, or damage further on: keep what decoded
        for (sf_count_t f = 0; f < got; ++f) {
            double sum = 0.0;
            const float* frame = chunk.data() + f * channels;
            for (int c = 0; c < channels; ++c)
                sum += frame[c];
            mono.push_back(static_cast<float>(sum / channels));
        }
    }

    const std::vector<float> converted = ConvertRate(mono, info.samplerate, SAMPLECUT_RATE);
    std::vector<int16_t> pcm(converted.size());
    bool silent = true;
    for (size_t i = 0; i < converted.size(); ++i) {
        const double v = std::round(static_cast<double>(converted[i]) * 32767.0);
        pcm[i] = static_cast<int16_t>(std::clamp(v, -32768.0, 32767.0));
        silent = silent && pcm[i] == 0;
    }
    if (pcm.empty() || silent)
        return kNoAudio;

    const std::vector<unsigned char> image = WavImage(pcm);
    auto* buffer = static_cast<unsigned char*>(std::malloc(image.size()));
    if (!buffer)
        return kNoAudio;
    std::memcpy(buffer, image.data(), image.size());
    *sample = buffer;
    return static_cast<int>(image.size());
}

}  // namespace

int samplecut_from_file(const char* path, int startSeconds, int lengthSeconds, unsigned char** sample)
{
    if (!sample)
        return kCannotRead;
    *sample = nullptr;
    if (!path || !*path)
        return kCannotRead;
    const int fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return kCannotRead;
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        close(fd);
        return kCannotRead;
    }
    SF_INFO info{};
    SNDFILE* sf = sf_open_fd(fd, SFM_READ, &info, SF_TRUE);
    if (!sf)
        return kCannotDecode;   // libsndfile closed the descriptor
    return Cut(sf, info, startSeconds, lengthSeconds, sample);
}

int samplecut_from_buffer(const void* data, size_t size, int startSeconds, int lengthSeconds,
                          unsigned char** sample)
{
    if (!sample)
        return kCannotRead;
    *sample = nullptr;
    if (!data || size == 0)
        return kCannotRead;
    MemoryFile file{static_cast<const unsigned char*>(data), static_cast<sf_count_t>(size), 0};
    SF_VIRTUAL_IO io{&MemoryLength, &MemorySeek, &MemoryRead, &MemoryWrite, &MemoryTell};
    SF_INFO info{};
    SNDFILE* sf = sf_open_virtual(&io, SFM_READ, &info, &file);
    if (!sf)
        return kCannotDecode;
    return Cut(sf, info, startSeconds, lengthSeconds, sample);
}

void samplecut_free(unsigned char* sample)
{
    std::free(sample);
}
