#include "NoisePlacement.h"

#include <fftw3.h>
#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>

namespace {

// The program's loudness: about -16 dBFS, like mastered music, with room
// for its peaks.
constexpr double kProgramRms = 0.15;
constexpr double kProgramPeak = 0.95;
// A sample this close to zero is quiet; a run of quiet samples counts as
// silence once it lasts this long (noise never stays this close to zero).
constexpr double kQuiet = 64.0 / 32768.0;
constexpr double kSilentRunSeconds = 0.001;
constexpr double kWindowSeconds = 0.005;
// Pink noise is loudest at its lowest frequencies, which make every place
// look alike in a short window; correlation looks at the signal with them
// turned down, where each place is unlike any other.
constexpr double kEmphasis = 0.9;
// Correlation a window needs to count as found: a true place scores near 1
// (0.7 for a window that straddles a cut), the best wrong one of a
// minute of noise about 0.3.
constexpr double kAccept = 0.5;
// The sound at a placed stretch's edge belongs to it while each sample is
// within this share of the program's level of where it should be; this
// many misses in a row end it (one codec error is no edge).
constexpr double kEdgeTolerance = 0.3;
constexpr int kEdgeMisses = 3;
// How far a window may lie from where the one before predicts it.
constexpr long kNear = 4;
// Offsets within this many samples are the same place (resampling jitter).
constexpr long kSame = 2;
// After windows found nowhere, this many windows try only the prediction,
// so a long stretch of foreign sound costs few whole-program searches.
constexpr int kSearchPause = 10;

// splitmix64: the same numbers on every machine and library.
uint64_t NextRandom(uint64_t& state)
{
    uint64_t z = (state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

// Uniform in [-1, 1).
double White(uint64_t& state)
{
    return static_cast<double>(NextRandom(state) >> 11) * (2.0 / 9007199254740992.0) - 1.0;
}

std::vector<double> Emphasised(const std::vector<double>& x)
{
    std::vector<double> y(x.size());
    double previous = 0;
    for (size_t i = 0; i < x.size(); ++i) {
        y[i] = x[i] - kEmphasis * previous;
        previous = x[i];
    }
    return y;
}

// prefix[i] = samples before i that belong to a silent run.
std::vector<long> SilentPrefix(const std::vector<double>& x, int rate)
{
    const size_t run = static_cast<size_t>(std::max(1.0, kSilentRunSeconds * rate));
    std::vector<char> silent(x.size(), 0);
    size_t start = 0;
    for (size_t i = 0; i <= x.size(); ++i) {
        if (i < x.size() && std::fabs(x[i]) <= kQuiet)
            continue;
        if (i - start >= run)
            std::fill(silent.begin() + static_cast<std::ptrdiff_t>(start), silent.begin() + static_cast<std::ptrdiff_t>(i), 1);
        start = i + 1;
    }
    std::vector<long> prefix(x.size() + 1, 0);
    for (size_t i = 0; i < x.size(); ++i)
        prefix[i + 1] = prefix[i] + silent[i];
    return prefix;
}

std::vector<double> EnergyPrefix(const std::vector<double>& x)
{
    std::vector<double> prefix(x.size() + 1, 0);
    for (size_t i = 0; i < x.size(); ++i)
        prefix[i + 1] = prefix[i] + x[i] * x[i];
    return prefix;
}

// The channels' average, scaled to -1..1.
template <typename Sample>
std::vector<double> Mono(const std::vector<Sample>& interleaved, int channels, double scale)
{
    if (channels <= 0)
        return {};
    const auto n = static_cast<size_t>(channels);
    std::vector<double> mono(interleaved.size() / n);
    for (size_t i = 0; i < mono.size(); ++i) {
        double sum = 0;
        for (size_t c = 0; c < n; ++c)
            sum += interleaved[i * n + c];
        mono[i] = sum * scale / channels;
    }
    return mono;
}

std::vector<double> Resampled(const std::vector<double>& x, int from, int to)
{
    if (from == to || x.empty())
        return x;
    const auto n = static_cast<size_t>(static_cast<double>(x.size()) * to / from);
    std::vector<double> y(n);
    for (size_t i = 0; i < n; ++i) {
        const double at = static_cast<double>(i) * from / to;
        const auto k = static_cast<size_t>(at);
        const double f = at - static_cast<double>(k);
        const double a = x[std::min(k, x.size() - 1)];
        const double b = x[std::min(k + 1, x.size() - 1)];
        y[i] = a + (b - a) * f;
    }
    return y;
}

} // namespace

// The program as the correlation sees it, and its spectrum for the
// whole-program search.
struct NoisePlacement::Search {
    std::vector<double> signal;  // emphasised program
    std::vector<double> energy;  // prefix sums of its squares
    std::vector<long> silent;    // prefix counts of its silent samples
    size_t size = 0;             // FFT length
    double* real = nullptr;
    fftw_complex* spectrum = nullptr;  // of the program
    fftw_complex* work = nullptr;
    fftw_plan forward = nullptr;
    fftw_plan backward = nullptr;

    explicit Search(const std::vector<float>& program, int rate)
    {
        std::vector<double> x(program.begin(), program.end());
        signal = Emphasised(x);
        energy = EnergyPrefix(signal);
        silent = SilentPrefix(x, rate);
        size = 1;
        // Long enough that no place of a window wraps around.
        while (size < signal.size() + 1024)
            size <<= 1;
        real = fftw_alloc_real(size);
        spectrum = fftw_alloc_complex(size / 2 + 1);
        work = fftw_alloc_complex(size / 2 + 1);
        forward = fftw_plan_dft_r2c_1d(static_cast<int>(size), real, work, FFTW_ESTIMATE);
        backward = fftw_plan_dft_c2r_1d(static_cast<int>(size), work, real, FFTW_ESTIMATE);
        std::fill(real, real + size, 0.0);
        std::copy(signal.begin(), signal.end(), real);
        fftw_execute(forward);
        std::memcpy(spectrum, work, sizeof(fftw_complex) * (size / 2 + 1));
    }
    ~Search()
    {
        fftw_destroy_plan(forward);
        fftw_destroy_plan(backward);
        fftw_free(real);
        fftw_free(spectrum);
        fftw_free(work);
    }
    Search(const Search&) = delete;
    Search& operator=(const Search&) = delete;

    double Correlation(const double* w, double wEnergy, long at, long length) const
    {
        const double e = energy[static_cast<size_t>(at + length)] - energy[static_cast<size_t>(at)];
        if (e <= 1e-12 || wEnergy <= 1e-12)
            return 0;
        double sum = 0;
        for (long i = 0; i < length; ++i)
            sum += w[i] * signal[static_cast<size_t>(at + i)];
        return sum / std::sqrt(e * wEnergy);
    }

    // The best place of the window near `around`; -1 when none is in range.
    long Near(const double* w, double wEnergy, long length, long around, double* score) const
    {
        long best = -1;
        *score = -1;
        const long last = static_cast<long>(signal.size()) - length;
        for (long at = std::max(0L, around - kNear); at <= std::min(last, around + kNear); ++at) {
            const double c = Correlation(w, wEnergy, at, length);
            if (c > *score) {
                *score = c;
                best = at;
            }
        }
        return best;
    }

    // The best place of the window in the whole program.
    long Anywhere(const double* w, double wEnergy, long length, double* score)
    {
        std::fill(real, real + size, 0.0);
        std::copy(w, w + length, real);
        fftw_execute(forward);
        // Correlation, not convolution: the window's spectrum conjugated.
        for (size_t k = 0; k < size / 2 + 1; ++k) {
            const double a = spectrum[k][0], b = spectrum[k][1];
            const double c = work[k][0], d = -work[k][1];
            work[k][0] = a * c - b * d;
            work[k][1] = a * d + b * c;
        }
        fftw_execute(backward);
        long best = -1;
        *score = -1;
        const long last = static_cast<long>(signal.size()) - length;
        for (long at = 0; at <= last; ++at) {
            const double e = energy[static_cast<size_t>(at + length)] - energy[static_cast<size_t>(at)];
            if (e <= 1e-12)
                continue;
            const double c = real[at] / static_cast<double>(size) / std::sqrt(e * wEnergy);
            if (c > *score) {
                *score = c;
                best = at;
            }
        }
        return best;
    }

    long SilentBetween(long from, long to) const
    {
        from = std::clamp(from, 0L, static_cast<long>(signal.size()));
        to = std::clamp(to, 0L, static_cast<long>(signal.size()));
        return to > from ? silent[static_cast<size_t>(to)] - silent[static_cast<size_t>(from)] : 0;
    }
};

NoisePlacement::NoisePlacement(uint32_t seed, double seconds, int rate, int channels)
    : rate(rate), channels(channels)
{
    const size_t frames = seconds > 0 && rate > 0 ? static_cast<size_t>(std::lround(seconds * rate)) : 0;
    uint64_t state = seed;
    // Paul Kellet's pink filter over white noise; started well before the
    // first sample kept, so its slowest pole has settled.
    double b[7] = {0, 0, 0, 0, 0, 0, 0};
    std::vector<double> pink(frames);
    for (size_t i = 0; i < frames + 20000; ++i) {
        const double white = White(state);
        b[0] = 0.99886 * b[0] + white * 0.0555179;
        b[1] = 0.99332 * b[1] + white * 0.0750759;
        b[2] = 0.96900 * b[2] + white * 0.1538520;
        b[3] = 0.86650 * b[3] + white * 0.3104856;
        b[4] = 0.55000 * b[4] + white * 0.5329522;
        b[5] = -0.7616 * b[5] - white * 0.0168980;
        const double value = b[0] + b[1] + b[2] + b[3] + b[4] + b[5] + b[6] + white * 0.5362;
        b[6] = white * 0.115926;
        if (i >= 20000)
            pink[i - 20000] = value;
    }
    double sum = 0;
    for (double v : pink)
        sum += v * v;
    const double gain = frames > 0 && sum > 0 ? kProgramRms / std::sqrt(sum / static_cast<double>(frames)) : 0;
    program.resize(frames);
    for (size_t i = 0; i < frames; ++i)
        program[i] = static_cast<float>(std::clamp(pink[i] * gain, -kProgramPeak, kProgramPeak));
}

NoisePlacement::~NoisePlacement() = default;

double NoisePlacement::Seconds() const
{
    return static_cast<double>(program.size()) / rate;
}

void NoisePlacement::SetSilence(double fromSeconds, double seconds)
{
    const auto from = static_cast<size_t>(std::clamp(std::lround(fromSeconds * rate), 0L, static_cast<long>(program.size())));
    const auto to = static_cast<size_t>(
        std::clamp(std::lround((fromSeconds + seconds) * rate), static_cast<long>(from), static_cast<long>(program.size())));
    std::fill(program.begin() + static_cast<std::ptrdiff_t>(from), program.begin() + static_cast<std::ptrdiff_t>(to), 0.0f);
    search.reset();
}

std::vector<int16_t> NoisePlacement::Pcm(double fromSeconds, double seconds) const
{
    const long size = static_cast<long>(program.size());
    const long from = std::clamp(std::lround(fromSeconds * rate), 0L, size);
    const long to = seconds < 0 ? size : std::clamp(from + std::lround(seconds * rate), from, size);
    std::vector<int16_t> pcm;
    pcm.reserve(static_cast<size_t>(to - from) * static_cast<size_t>(channels));
    for (long i = from; i < to; ++i) {
        const auto v = static_cast<int16_t>(std::lrint(program[static_cast<size_t>(i)] * 32767.0));
        for (int c = 0; c < channels; ++c)
            pcm.push_back(v);
    }
    return pcm;
}

bool NoisePlacement::WriteWav(const std::string& path, double fromSeconds, double seconds) const
{
    SF_INFO info{};
    info.samplerate = rate;
    info.channels = channels;
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    SNDFILE* f = sf_open(path.c_str(), SFM_WRITE, &info);
    if (!f)
        return false;
    const std::vector<int16_t> pcm = Pcm(fromSeconds, seconds);
    const sf_count_t frames = static_cast<sf_count_t>(pcm.size() / static_cast<size_t>(channels));
    const bool ok = sf_writef_short(f, pcm.data(), frames) == frames;
    return sf_close(f) == 0 && ok;
}

NoisePlacement::Result NoisePlacement::Place(const std::vector<int16_t>& interleaved, int recordingRate,
                                             int recordingChannels) const
{
    return PlaceMono(Mono(interleaved, recordingChannels, 1.0 / 32768.0), recordingRate);
}

NoisePlacement::Result NoisePlacement::Place(const std::vector<float>& interleaved, int recordingRate,
                                             int recordingChannels) const
{
    return PlaceMono(Mono(interleaved, recordingChannels, 1.0), recordingRate);
}

NoisePlacement::Result NoisePlacement::PlaceFile(const std::string& path) const
{
    SF_INFO info{};
    SNDFILE* f = sf_open(path.c_str(), SFM_READ, &info);
    if (!f || info.channels <= 0)
        return Result();
    std::vector<float> pcm(static_cast<size_t>(info.frames) * static_cast<size_t>(info.channels));
    const sf_count_t got = sf_readf_float(f, pcm.data(), info.frames);
    sf_close(f);
    pcm.resize(static_cast<size_t>(std::max<sf_count_t>(got, 0)) * static_cast<size_t>(info.channels));
    return Place(pcm, info.samplerate, info.channels);
}

NoisePlacement::Result NoisePlacement::PlaceMono(std::vector<double> mono, int recordingRate) const
{
    Result result;
    if (recordingRate <= 0 || program.empty())
        return result;
    result.recordingMs = 1000.0 * static_cast<double>(mono.size()) / recordingRate;
    const std::vector<double> x = Resampled(mono, recordingRate, rate);
    if (!search)
        search = std::make_unique<Search>(program, rate);
    Search& s = *search;
    const std::vector<double> y = Emphasised(x);
    const std::vector<long> quiet = SilentPrefix(x, rate);
    auto quietBetween = [&](long from, long to) {
        return to > from ? quiet[static_cast<size_t>(to)] - quiet[static_cast<size_t>(from)] : 0L;
    };
    const long window = std::max(32L, std::lround(kWindowSeconds * rate));
    const long length = static_cast<long>(x.size());
    const double ms = 1000.0 / rate;

    bool any = false;
    long firstR = 0, firstS = 0;  // the first placed window: recording and program sample
    long lastR = 0, lastS = 0;    // the latest
    long drift = 0;               // small moves not yet reported (resampling jitter cancels out)
    long foreign = 0;  // windows not found since the latest placed one
    int failures = 0;  // whole-program searches in a row that found nothing
    int pause = 0;
    for (long r = 0; r + window <= length; r += window) {
        // Only windows of sound are placed, so that all silence lies between
        // placed windows, where it is told inserted from the program's own.
        if (quietBetween(r, r + window) > 0)
            continue;
        const double* w = y.data() + r;
        double wEnergy = 0;
        for (long i = 0; i < window; ++i)
            wEnergy += w[i] * w[i];
        double score = -1;
        long at = any ? s.Near(w, wEnergy, window, lastS + (r - lastR), &score) : -1;
        if (score < kAccept) {
            if (pause > 0) {
                --pause;
                at = -1;
            } else {
                at = s.Anywhere(w, wEnergy, window, &score);
                // One window that straddles a cut is not found; a run of
                // them is sound that is not in the program.
                if (score < kAccept && ++failures >= 3)
                    pause = kSearchPause;
            }
        }
        if (at < 0 || score < kAccept) {
            result.unplacedMs += window * ms;
            ++foreign;
            continue;
        }
        pause = 0;
        failures = 0;
        // Windows skipped by a search pause may lead up to this one: those
        // that continue it are the program's after all.
        long earliest = r;
        for (long j = r - window; foreign > 0 && j >= 0 && (!any || j > lastR); j -= window) {
            if (quietBetween(j, j + window) > 0)
                break;
            double before = 0;
            for (long i = 0; i < window; ++i)
                before += y[static_cast<size_t>(j + i)] * y[static_cast<size_t>(j + i)];
            double near = -1;
            s.Near(y.data() + j, before, window, at - (r - j), &near);
            if (near < kAccept)
                break;
            --foreign;
            result.unplacedMs -= window * ms;
            earliest = j;
        }
        if (!any) {
            any = true;
            firstR = earliest;
            firstS = at - (r - earliest);
        } else {
            // Sound the program moved on by beyond what the recording holds
            // (> 0 missing, < 0 repeated), the silence of both left aside,
            // and sound that is not the program's (more than the one window
            // that straddles a cut).
            const long programQuiet = s.SilentBetween(lastS + window, at);
            const long recordingQuiet = quietBetween(lastR + window, r);
            const long notProgram = foreign > 1 ? foreign * window : 0;
            long sound = (at - lastS) - (r - lastR) - programQuiet + recordingQuiet + notProgram;
            const long inserted = std::max(0L, recordingQuiet - programQuiet);
            if (std::labs(sound) <= kSame && inserted <= kSame) {
                drift += sound;
                sound = std::labs(drift) > kSame ? drift : 0;
            }
            if (sound != 0 || inserted > kSame) {
                drift = 0;
                Jump jump;
                jump.atMs = r * ms;
                jump.sourceMs = at * ms;
                jump.missingMs = std::max(0L, sound) * ms;
                jump.repeatedMs = std::max(0L, -sound) * ms;
                jump.silenceMs = inserted * ms;
                result.jumps.push_back(jump);
                result.missingMs += jump.missingMs;
                result.repeatedMs += jump.repeatedMs;
                result.silenceMs += jump.silenceMs;
                result.largestMissingMs = std::max(result.largestMissingMs, jump.missingMs);
                result.largestRepeatedMs = std::max(result.largestRepeatedMs, jump.repeatedMs);
                result.largestSilenceMs = std::max(result.largestSilenceMs, jump.silenceMs);
            }
        }
        lastR = r;
        lastS = at;
        foreign = 0;
    }
    if (!any)
        return result;
    result.placed = true;
    // To the sample: the sound before the first placed window and after the
    // last one that still is the program's (not a codec's ringing at the
    // edge, nor silence).
    auto edge = [&](long r, long at, long step) {
        double xp = 0, pp = 0;
        for (long i = 0; i < window; ++i) {
            const double v = program[static_cast<size_t>(at + i)];
            xp += x[static_cast<size_t>(r + i)] * v;
            pp += v * v;
        }
        const double gain = pp > 0 ? xp / pp : 1;
        const double level = std::sqrt(pp / static_cast<double>(window)) * std::fabs(gain);
        long i = step < 0 ? r - 1 : r + window;
        long kept = step < 0 ? r : r + window;  // first sample not kept, going back: last kept
        int misses = 0;
        for (; i >= 0 && i < length && std::labs(i - r) <= 2 * window; i += step) {
            const long p = at + (i - r);
            if (p < 0 || p >= static_cast<long>(program.size()) || quiet[static_cast<size_t>(i) + 1] != quiet[static_cast<size_t>(i)])
                break;
            if (std::fabs(x[static_cast<size_t>(i)] - gain * program[static_cast<size_t>(p)]) > kEdgeTolerance * level) {
                if (++misses > kEdgeMisses)
                    break;
                continue;
            }
            misses = 0;
            kept = step < 0 ? i : i + 1;
        }
        return kept;
    };
    const long start = edge(firstR, firstS, -1);
    const long end = edge(lastR, lastS, +1);
    result.firstMs = std::max(0L, firstS - (firstR - start)) * ms;
    result.lastMs = (lastS + (end - lastR)) * ms;
    return result;
}

std::string NoisePlacement::Result::Describe() const
{
    char line[256];
    std::snprintf(line, sizeof line,
                  "%s: program %.1f-%.1f ms, missing %.1f ms (largest %.1f), repeated %.1f ms (largest %.1f), "
                  "silence inserted %.1f ms, unplaced %.1f ms, %zu jumps",
                  placed ? "placed" : "not placed", firstMs, lastMs, missingMs, largestMissingMs, repeatedMs,
                  largestRepeatedMs, silenceMs, unplacedMs, jumps.size());
    std::string text = line;
    for (const Jump& j : jumps) {
        std::snprintf(line, sizeof line, "; at %.1f ms (program %.1f): -%.1f +%.1f silence %.1f", j.atMs, j.sourceMs,
                      j.missingMs, j.repeatedMs, j.silenceMs);
        text += line;
    }
    return text;
}
