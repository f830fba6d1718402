// What writing a song costs the processing thread while the song is forced
// onto the disk, and where the forcing runs. A 44.1 kHz stereo song is written
// in 20 ms clips at the pace a capture delivers them, as a WAV and as a
// 320 kbit/s MP3, once with the file forced to disk by fdatasync (as the
// program does) and once with the forcing left out. Each clip's write call is
// timed on the writing thread; the calls that handed a block to the file (the
// file grew) are reported apart. Every fdatasync is timed too, with the thread
// it ran on.
//
// Usage: bench_song_sync [seconds [folder]]   (default 20 seconds of song per
// run, written below the current folder; a tmpfs folder makes fdatasync free)

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "CDiskSyncer.h"
#include "CMp3File.h"
#include "CPcmsink.h"
#include "Sonacap.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kRate = 44100;
constexpr int kChannels = 2;

double Ms(Clock::duration d)
{
    return std::chrono::duration<double, std::milli>(d).count();
}

double Percentile(std::vector<double> values, double p)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, static_cast<size_t>(p * static_cast<double>(values.size())))];
}

std::string Summary(const std::vector<double>& ms)
{
    char text[160];
    snprintf(text, sizeof text, "%4zu calls, median %.3f, p95 %.3f, max %.3f ms", ms.size(), Percentile(ms, 0.5),
             Percentile(ms, 0.95), ms.empty() ? 0 : *std::max_element(ms.begin(), ms.end()));
    return text;
}

off_t SizeOf(const std::string& path)
{
    struct stat info;
    return stat(path.c_str(), &info) == 0 ? info.st_size : -1;
}

struct SyncLog {
    std::mutex lock;
    std::vector<double> ms;
    int onWriter = 0;
    std::thread::id writer;
};

void Run(const std::string& folder, double seconds, bool mp3, bool force)
{
    SyncLog log;
    log.writer = std::this_thread::get_id();
    CDiskSyncer syncer([&log, force](int fd) {
        if (!force)
            return 0;
        const Clock::time_point start = Clock::now();
        const int result = fdatasync(fd);
        std::lock_guard<std::mutex> guard(log.lock);
        log.ms.push_back(Ms(Clock::now() - start));
        log.onWriter += std::this_thread::get_id() == log.writer;
        return result;
    });
    CMp3File mp3File(syncer);
    CPcmsink wavFile(syncer);
    mp3File.SetRatio(320);
    IMusicFile& writer = mp3 ? static_cast<IMusicFile&>(mp3File) : wavFile;
    const std::string path = folder + (mp3 ? "/bench.mp3" : "/bench.wav");
    const AudioParam format{kRate, kChannels, 16, 0, kChannels * 2, 1, 0};

    // A tone with some noise, so the encoder has work like music's.
    const size_t clipFrames = kRate / 50;
    std::vector<int16_t> clip(clipFrames * kChannels);
    uint32_t seed = 1;
    double phase = 0;

    writer.Open(path.c_str(), &format);
    std::vector<double> flushing, holding;
    off_t size = SizeOf(path);
    const auto clips = static_cast<long>(seconds * 50);
    Clock::time_point due = Clock::now();
    for (long i = 0; i < clips; ++i) {
        for (size_t f = 0; f < clipFrames; ++f) {
            seed = seed * 1664525u + 1013904223u;
            const double noise = static_cast<double>(seed >> 16) / 65536.0 - 0.5;
            const auto value = static_cast<int16_t>(12000 * std::sin(phase) + 4000 * noise);
            phase += 2 * M_PI * 440 / kRate;
            clip[f * kChannels] = clip[f * kChannels + 1] = value;
        }
        const Clock::time_point start = Clock::now();
        writer.WriteData(clip.data(), static_cast<unsigned>(clip.size() * sizeof(int16_t)));
        const double ms = Ms(Clock::now() - start);
        const off_t now = SizeOf(path);
        (now != size ? flushing : holding).push_back(ms);
        size = now;
        due += std::chrono::milliseconds(20);
        std::this_thread::sleep_until(due);
    }
    writer.Close();
    // Lets the last forcing finish before its figures are read.
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    unlink(path.c_str());

    printf("%s, %s:\n", mp3 ? "MP3 320 kbit/s" : "WAV 16-bit", force ? "forced by fdatasync" : "not forced");
    printf("  clips that wrote a block: %s\n", Summary(flushing).c_str());
    printf("  clips kept in memory:     %s\n", Summary(holding).c_str());
    std::lock_guard<std::mutex> guard(log.lock);
    if (force)
        printf("  fdatasync: %s; on the writing thread: %d\n", Summary(log.ms).c_str(), log.onWriter);
}

}  // namespace

int main(int argc, char** argv)
{
    const double seconds = argc > 1 ? std::atof(argv[1]) : 20;
    const std::string folder = argc > 2 ? argv[2] : ".";
    double load[3] = {};
    if (getloadavg(load, 3) > 0)
        printf("load %.1f %.1f %.1f, %.0f s of song per run, in %s\n", load[0], load[1], load[2], seconds,
               folder.c_str());
    for (const bool mp3 : {false, true})
        for (const bool force : {false, true})
            Run(folder, seconds, mp3, force);
    return 0;
}
