// Feeds synthetic 44.1 kHz stereo 16-bit audio through the engine's block queue
// and processing thread as fast as they drain, once into WAV songs and once into
// 320 kbit/s MP3 songs (the quality users record at), and compares the time
// with sox writing the same PCM to one WAV file and with the lame program
// encoding it at the same rate. The engine's log is on, as in the program.
//
// Usage: bench_engine [minutes [repeats]]   (default 60 minutes; every run is
// repeated, default 3 times, and the best time counts, since other load on
// the machine can swamp a single run)

#include <dirent.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "CAudioDataManager.h"
#include "CAudioProcess.h"
#include "CMp3File.h"
#include "CPcmsink.h"
#include "Sonacap.h"

extern char** environ;

namespace {

constexpr int kRate = 44100;
constexpr int kChannels = 2;
constexpr unsigned kBytesPerSecond = kRate * kChannels * 2;

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point from)
{
    return std::chrono::duration<double>(Clock::now() - from).count();
}

// Songs of 2-5 minutes separated by 2 s of digital silence; inside a song,
// passages of a low noise floor (quiet, but never below the silence bounds for
// 16 samples in a row) alternate with louder tones.
unsigned long long GenerateInput(const std::string& path, unsigned minutes)
{
    FILE* out = fopen(path.c_str(), "wb");
    if (!out) {
        perror("input");
        exit(1);
    }
    uint32_t seed = 12345;
    auto random = [&seed]() {
        seed = seed * 1664525u + 1013904223u;
        return seed;
    };
    const unsigned long long totalFrames = static_cast<unsigned long long>(minutes) * 60 * kRate;
    unsigned long long written = 0;
    std::vector<int16_t> block;
    double phaseA = 0, phaseB = 0;
    while (written < totalFrames) {
        const unsigned long long songFrames =
            std::min<unsigned long long>((120 + random() % 181) * static_cast<unsigned long long>(kRate),
                                         totalFrames - written);
        unsigned long long done = 0;
        while (done < songFrames) {
            const bool quiet = random() % 4 == 0;
            const unsigned long long part =
                std::min<unsigned long long>((3 + random() % 8) * static_cast<unsigned long long>(kRate),
                                             songFrames - done);
            const double fa = 110 + random() % 800, fb = 220 + random() % 2000;
            block.resize(part * kChannels);
            for (unsigned long long i = 0; i < part; ++i) {
                int16_t left, right;
                if (quiet) {
                    left = static_cast<int16_t>(static_cast<int>(random() % 81) - 40);
                    right = static_cast<int16_t>(static_cast<int>(random() % 81) - 40);
                } else {
                    const double v = 9000 * std::sin(phaseA) + 4000 * std::sin(phaseB);
                    phaseA += 2 * M_PI * fa / kRate;
                    phaseB += 2 * M_PI * fb / kRate;
                    const int noise = static_cast<int>(random() % 201) - 100;
                    left = static_cast<int16_t>(v + noise);
                    right = static_cast<int16_t>(0.8 * v - noise);
                }
                block[i * 2] = left;
                block[i * 2 + 1] = right;
            }
            fwrite(block.data(), 2, block.size(), out);
            done += part;
        }
        written += songFrames;
        const unsigned long long gap = std::min<unsigned long long>(2ull * kRate, totalFrames - written);
        block.assign(gap * kChannels, 0);
        fwrite(block.data(), 2, block.size(), out);
        written += gap;
    }
    fclose(out);
    return written * kChannels * 2;
}

struct EngineRun {
    double seconds = 0;
    size_t maxQueued = 0;
    int songs = 0;
};

void CountSongs(void* user, tagSonacapNotify code, void* param)
{
    if (code == kSonacapNotifyMusicEnd && param)
        ++*static_cast<std::atomic<int>*>(user);
}

EngineRun RunEngine(const std::string& input, const std::string& folder, IMusicFile* writer, const char* ext)
{
    CAudioDataManager queue;
    CAudioProcess process(&queue);
    std::atomic<int> songs{0};
    process.SetCallback(&CountSongs, &songs);
    process.SetOutputFolder(folder.c_str());
    process.SetMusicFile(writer, ext);
    AudioParam format = {kRate, kChannels, 16, 0, 4, 1, 0};
    process.SetSelectedParam(format);

    FILE* in = fopen(input.c_str(), "rb");
    if (!in) {
        perror("input");
        exit(1);
    }
    std::vector<unsigned char> chunk(kBytesPerSecond);
    EngineRun run;
    const auto start = Clock::now();
    queue.SetAudioParam(&format);
    process.Restart();
    process.SetState(2);
    size_t got;
    while ((got = fread(chunk.data(), 1, chunk.size(), in)) > 0) {
        // Keep about a minute queued: enough that the thread never finds the
        // queue empty (and takes its idle pause), little enough that the
        // high-water mark shows whether it keeps up.
        while (queue.QueuedBytes() > 60 * kBytesPerSecond)
            usleep(100);
        queue.PushData(chunk.data(), static_cast<unsigned>(got));
        run.maxQueued = std::max(run.maxQueued, queue.QueuedBytes());
    }
    fclose(in);
    while (queue.QueuedBytes() > 0)
        usleep(100);
    process.Terminate();
    run.seconds = Seconds(start);
    run.songs = songs;
    return run;
}

double RunProgram(const std::vector<std::string>& args)
{
    std::vector<char*> argv;
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    const auto start = Clock::now();
    pid_t pid;
    if (posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) {
        fprintf(stderr, "cannot run %s\n", argv[0]);
        return -1;
    }
    int status = 0;
    waitpid(pid, &status, 0);
    const double seconds = Seconds(start);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        fprintf(stderr, "%s failed\n", argv[0]);
        return -1;
    }
    return seconds;
}

void RemoveFolderFiles(const std::string& folder)
{
    std::vector<std::string> names;
    if (DIR* d = opendir(folder.c_str())) {
        while (dirent* entry = readdir(d)) {
            const std::string name = entry->d_name;
            if (name != "." && name != "..")
                names.push_back(name);
        }
        closedir(d);
    }
    for (const std::string& name : names)
        unlink((folder + "/" + name).c_str());
}

long PeakKiB()
{
    struct rusage usage;
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

}  // namespace

int main(int argc, char** argv)
{
    const unsigned minutes = argc > 1 ? static_cast<unsigned>(std::atoi(argv[1])) : 60;
    const int repeats = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
    char pattern[] = "/tmp/sonacap-bench-XXXXXX";
    if (!mkdtemp(pattern)) {
        perror("mkdtemp");
        return 1;
    }
    const std::string dir = pattern;
    const std::string input = dir + "/input.raw";
    const std::string songs = dir + "/songs";
    mkdir(songs.c_str(), 0700);

    printf("generating %u min of 44.1 kHz stereo 16-bit PCM...\n", minutes);
    const unsigned long long bytes = GenerateInput(input, minutes);
    const double audio = static_cast<double>(bytes) / kBytesPerSecond;
    const long baseKiB = PeakKiB();

    // The log as the program has it: level 0, into "Sonacap.log".
    const std::string logs = dir + "/log";
    InitSonacapModule(dir.c_str(), logs.c_str());

    auto best = [repeats](const std::function<double()>& run) {
        double fastest = 0;
        for (int i = 0; i < repeats; ++i) {
            const double t = run();
            if (i == 0 || t < fastest)
                fastest = t;
        }
        return fastest;
    };
    auto bestEngine = [&](IMusicFile* writer, const char* ext) {
        EngineRun fastest;
        for (int i = 0; i < repeats; ++i) {
            const EngineRun run = RunEngine(input, songs, writer, ext);
            if (i == 0 || run.seconds < fastest.seconds)
                fastest = run;
            RemoveFolderFiles(songs);
        }
        return fastest;
    };

    CPcmsink wav;
    const EngineRun engineWav = bestEngine(&wav, "wav");
    const double sox = best([&] {
        const double t = RunProgram({"sox", "-t", "raw", "-r", "44100", "-e", "signed-integer", "-b", "16", "-c", "2",
                                     input, dir + "/sox.wav"});
        unlink((dir + "/sox.wav").c_str());
        return t;
    });

    CMp3File mp3;
    mp3.SetRatio(320);
    const EngineRun engineMp3 = bestEngine(&mp3, "mp3");
    // Without ReplayGain analysis, which lame runs by default and the engine
    // does not (about a twelfth of lame's time): the same work on both sides.
    const double lame = best([&] {
        const double t = RunProgram({"lame", "--silent", "--noreplaygain", "-r", "-s", "44.1", "--bitwidth", "16",
                                     "--signed", "--little-endian", "-m", "s", "-b", "320", "--cbr", input,
                                     dir + "/lame.mp3"});
        unlink((dir + "/lame.mp3").c_str());
        return t;
    });
    struct stat logInfo {};
    const long long logBytes = stat((logs + "/Sonacap.log").c_str(), &logInfo) == 0 ? logInfo.st_size : -1;
    unlink(input.c_str());
    rmdir(songs.c_str());
    RemoveFolderFiles(logs);
    rmdir(logs.c_str());
    rmdir(dir.c_str());

    printf("\naudio: %.0f s (%u songs)\n", audio, static_cast<unsigned>(engineWav.songs));
    printf("%-28s %10s %14s %18s\n", "path", "seconds", "real-time x", "engine / program");
    printf("%-28s %10.2f %14.1f %18s\n", "engine WAV", engineWav.seconds, audio / engineWav.seconds, "");
    printf("%-28s %10.2f %14.1f %17.2fx\n", "sox raw -> WAV", sox, audio / sox, sox / engineWav.seconds);
    printf("%-28s %10.2f %14.1f %18s\n", "engine MP3 320k", engineMp3.seconds, audio / engineMp3.seconds, "");
    printf("%-28s %10.2f %14.1f %17.2fx\n", "lame -b 320 --noreplaygain", lame, audio / lame,
           lame / engineMp3.seconds);
    printf("(engine / program = program time / engine time: above 1 means the engine is faster)\n");
    printf("\nqueue high-water mark: WAV %.1f s, MP3 %.1f s of audio\n",
           static_cast<double>(engineWav.maxQueued) / kBytesPerSecond,
           static_cast<double>(engineMp3.maxQueued) / kBytesPerSecond);
    printf("peak resident memory: %ld KiB (%ld KiB before the engine runs)\n", PeakKiB(), baseKiB);
    printf("songs written: WAV %d, MP3 %d\n", engineWav.songs, engineMp3.songs);
    printf("engine log after all runs (best of %d each): %lld bytes\n", repeats, logBytes);
    return 0;
}
