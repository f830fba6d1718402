// Measures the engine's CPU time while it records live from the sound
// server's default output, for WAV and for MP3 at 320 kbit/s, next to a peer
// made of the system's tools that records the same output at the same time:
// parec writing a WAV file, and parec piped into lame at 320 kbit/s. Both
// figures are shares of one core over the same stretch of audio, and the
// ratio engine / peer is printed with the machine's load, which moves both.
//
//   bench_capture [seconds [rounds]]   (default 60 s per format, 1 round)
//
// With several rounds the median ratio of each format closes the output.
//
// The audio is broadband (noise-like passages, chords with vibrato, drum
// hits): a pure tone would make the MP3 encoder's work, and so the figures,
// much smaller than with music. The engine logs as it does in the program.
//
// Without PULSE_SERVER in the environment it starts the test suite's private
// server in a temporary folder (and stops it at the end), so the machine's own
// sound setup is never touched. The audio is played by a child "paplay", so
// this process's CPU accounting holds only the engine and the idle main thread.

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "Sonacap.h"

extern char** environ;

namespace {

constexpr int kRate = 44100;
constexpr int kChannels = 2;

std::atomic<int> songsWritten{0};

void Notify(void*, tagSonacapNotify code, void* param)
{
    if (code == kSonacapNotifyMusicEnd && param)
        ++songsWritten;
}

int Run(const std::vector<std::string>& args, bool wait, pid_t* child = nullptr)
{
    std::vector<char*> argv;
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    pid_t pid;
    if (posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0)
        return -1;
    if (child)
        *child = pid;
    if (!wait)
        return 0;
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Songs of 14 s with 1 s of silence between them, as a 16-bit WAV file: a
// noise floor whose colour changes, a chord whose notes waver, and drum hits
// of filtered noise, so every band the encoder codes is busy.
bool WriteProgram(const std::string& path, int seconds)
{
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return false;
    uint32_t frames = static_cast<uint32_t>(seconds) * kRate;
    uint32_t dataBytes = frames * kChannels * 2;
    auto put32 = [f](uint32_t v) { std::fwrite(&v, 4, 1, f); };
    auto put16 = [f](uint16_t v) { std::fwrite(&v, 2, 1, f); };
    std::fwrite("RIFF", 1, 4, f);
    put32(36 + dataBytes);
    std::fwrite("WAVEfmt ", 1, 8, f);
    put32(16);
    put16(1);
    put16(kChannels);
    put32(kRate);
    put32(kRate * kChannels * 2);
    put16(kChannels * 2);
    put16(16);
    std::fwrite("data", 1, 4, f);
    put32(dataBytes);
    uint32_t seed = 2024;
    auto noise = [&seed]() {
        seed = seed * 1664525u + 1013904223u;
        return static_cast<double>(seed >> 8) / 8388608.0 - 1.0;
    };
    const double chord[] = {220.0, 277.18, 329.63, 440.0, 554.37, 659.26, 880.0};
    double phases[7] = {};
    double lowLeft = 0, lowRight = 0, drum = 0, drumLow = 0;
    std::vector<int16_t> block(static_cast<size_t>(kRate) * kChannels);
    for (uint32_t second = 0; second < static_cast<uint32_t>(seconds); ++second) {
        const bool silent = second % 15 == 14;
        // The noise's colour: how much of it is low-passed, per second.
        const double colour = 0.05 + 0.9 * (0.5 + 0.5 * std::sin(second * 0.7));
        for (int i = 0; i < kRate; ++i) {
            const double t = (second * kRate + i) / static_cast<double>(kRate);
            double tonal = 0;
            for (int n = 0; n < 7; ++n) {
                const double vibrato = 1.0 + 0.004 * std::sin(2 * M_PI * (4.0 + n * 0.3) * t);
                phases[n] += 2 * M_PI * chord[n] * vibrato / kRate;
                tonal += std::sin(phases[n]) / (1 + n * 0.4);
            }
            lowLeft += colour * (noise() - lowLeft);
            lowRight += colour * (noise() - lowRight);
            // A drum hit every quarter second, decaying fast.
            if (i % (kRate / 4) == 0)
                drum = 1.0;
            drum *= 0.9995;
            drumLow += 0.2 * (noise() * drum - drumLow);
            const double left = 2500 * tonal + 5000 * lowLeft + 9000 * drumLow;
            const double right = 2500 * tonal + 5000 * lowRight + 9000 * drumLow;
            block[static_cast<size_t>(i) * 2] = silent ? 0 : static_cast<int16_t>(std::max(-32000.0, std::min(32000.0, left)));
            block[static_cast<size_t>(i) * 2 + 1] =
                silent ? 0 : static_cast<int16_t>(std::max(-32000.0, std::min(32000.0, right)));
        }
        std::fwrite(block.data(), 2, block.size(), f);
    }
    return std::fclose(f) == 0;
}

double CpuSeconds()
{
    timespec ts;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return ts.tv_sec + ts.tv_nsec / 1e9;
}

double WallSeconds()
{
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec + ts.tv_nsec / 1e9;
}

// Seconds of CPU a child used, reaped with its resources.
double ReapCpuSeconds(pid_t pid)
{
    int status = 0;
    rusage usage{};
    if (wait4(pid, &status, 0, &usage) != pid)
        return -1;
    return usage.ru_utime.tv_sec + usage.ru_utime.tv_usec / 1e6 + usage.ru_stime.tv_sec + usage.ru_stime.tv_usec / 1e6;
}

bool Spawn(const std::vector<std::string>& args, int in, int out, pid_t* pid)
{
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (in >= 0)
        posix_spawn_file_actions_adddup2(&actions, in, 0);
    if (out >= 0)
        posix_spawn_file_actions_adddup2(&actions, out, 1);
    // lame warns that raw input from a pipe cannot be seeked: it is not.
    if (in >= 0)
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    std::vector<char*> argv;
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    const int rc = posix_spawnp(pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    return rc == 0;
}

// The same recording without the engine, started beside it: parec on the
// default output's monitor, into a WAV file or piped into lame (MP3 at
// 320 kbit/s, no ReplayGain, as the engine writes it).
struct Peer {
    pid_t parec = 0;
    pid_t lame = 0;
    std::string file;

    bool Start(bool mp3, const std::string& folder)
    {
        const std::vector<std::string> record = {"parec", "-d", "@DEFAULT_MONITOR@", "--rate=44100", "--channels=2",
                                                 "--format=s16le"};
        if (!mp3) {
            file = folder + "/peer.wav";
            std::vector<std::string> args = record;
            args.push_back("--file-format=wav");
            args.push_back(file);
            return Spawn(args, -1, -1, &parec);
        }
        file = folder + "/peer.mp3";
        // Close-on-exec: only parec's output and lame's input may hold the
        // pipe, or lame never sees its end.
        int fds[2];
        if (pipe2(fds, O_CLOEXEC) != 0)
            return false;
        std::vector<std::string> args = record;
        args.push_back("--raw");
        bool ok = Spawn(args, -1, fds[1], &parec);
        ok = ok && Spawn({"lame", "--silent", "--noreplaygain", "-r", "-s", "44.1", "--bitwidth", "16", "--signed",
                          "--little-endian", "-m", "s", "-b", "320", "--cbr", "-", file},
                         fds[0], -1, &lame);
        close(fds[0]);
        close(fds[1]);
        return ok;
    }

    // CPU seconds of the peer's processes, -1 on a failure.
    double Finish()
    {
        if (parec > 0)
            kill(parec, SIGINT);
        const double parecCpu = parec > 0 ? ReapCpuSeconds(parec) : -1;
        const double lameCpu = lame > 0 ? ReapCpuSeconds(lame) : 0;  // ends at the pipe's end
        unlink(file.c_str());
        return parecCpu < 0 || lameCpu < 0 ? -1 : parecCpu + lameCpu;
    }
};

// One format: the engine records while the peer records the same output, for
// as long as the program plays.
bool Measure(const char* label, const char* peerLabel, const char* subfolder, int format, int quality,
             const std::string& folder, const std::string& program, int seconds, std::vector<double>* ratios)
{
    std::string out = folder + "/" + subfolder;
    ::mkdir(out.c_str(), 0755);
    songsWritten = 0;
    CSonacapBase* engine = CSonacapBase::GetInstance();
    engine->RegCallback(Notify, nullptr);
    engine->SetTextParam(3, out.c_str());
    AudioParam param{kRate, kChannels, 16, 0, 0, 0, 0};
    int result = engine->SelectMode(1, param, nullptr);
    if (result == 0)
        result = engine->Start(0, format, quality);
    if (result != 0) {
        std::fprintf(stderr, "%s: recording did not start (error %d)\n", label, result);
        CSonacapBase::Release(engine);
        return false;
    }
    Peer peer;
    if (!peer.Start(format == 2, out)) {
        std::fprintf(stderr, "%s: could not start\n", peerLabel);
        CSonacapBase::Release(engine);
        return false;
    }
    const double cpu0 = CpuSeconds(), wall0 = WallSeconds();
    const int played = Run({"paplay", program}, true);
    const double cpu = CpuSeconds() - cpu0, wall = WallSeconds() - wall0;
    const double peerCpu = peer.Finish();
    engine->Stop();
    engine->Reset();
    CSonacapBase::Release(engine);
    if (played != 0 || peerCpu < 0) {
        std::fprintf(stderr, "%s: paplay %d, peer CPU %.3f s\n", label, played, peerCpu);
        return false;
    }
    const double share = 100.0 * cpu / wall, peerShare = 100.0 * peerCpu / wall;
    std::printf("%-14s audio %4d s (recording %5.1f s)  engine CPU %6.3f s = %5.2f %% of one core  (%d songs)\n", label,
                seconds, wall, cpu, share, songsWritten.load());
    std::printf("%-14s same time and output          CPU %6.3f s = %5.2f %% of one core;  engine / peer %.2f\n",
                peerLabel, peerCpu, peerShare, share / peerShare);
    std::fflush(stdout);
    ratios->push_back(share / peerShare);
    return true;
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

std::string LoadAverage()
{
    double load[3] = {0, 0, 0};
    if (getloadavg(load, 3) != 3)
        return "unknown";
    char text[64];
    std::snprintf(text, sizeof text, "%.2f %.2f %.2f", load[0], load[1], load[2]);
    return text;
}

} // namespace

int main(int argc, char** argv)
{
    int seconds = argc > 1 ? std::atoi(argv[1]) : 60;
    if (seconds < 5)
        seconds = 5;
    const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 1;
    char pattern[] = "/tmp/sonacap-bench-XXXXXX";
    if (!mkdtemp(pattern)) {
        std::perror("mkdtemp");
        return 1;
    }
    std::string folder = pattern;
    std::string script = std::string(SONACAP_SOURCE_DIR) + "/tests/pulse/pulse-fixture.sh";
    std::string serverDir = folder + "/pulse";
    bool ownServer = std::getenv("PULSE_SERVER") == nullptr;
    if (ownServer) {
        if (Run({script, "start", serverDir}, true) != 0) {
            std::fprintf(stderr, "could not start the private sound server\n");
            return 1;
        }
        setenv("PULSE_SERVER", ("unix:" + serverDir + "/native").c_str(), 1);
    }
    std::printf("load average at the start: %s (%ld cores)\n", LoadAverage().c_str(), sysconf(_SC_NPROCESSORS_ONLN));
    std::string program = folder + "/program.wav";
    bool ok = WriteProgram(program, seconds);
    InitSonacapModule(folder.c_str(), (folder + "/log").c_str());
    std::vector<double> wavRatios, mp3Ratios;
    for (int round = 0; round < rounds && ok; ++round) {
        ok = ok && Measure("WAV", "parec WAV", "wav", 1, 0, folder, program, seconds, &wavRatios);
        ok = ok && Measure("MP3 320kbit/s", "parec | lame", "mp3", 2, 4, folder, program, seconds, &mp3Ratios);
    }
    if (ok && rounds > 1)
        std::printf("median of %d rounds, engine / peer: WAV %.2f (goal within 1.20), MP3 %.2f\n", rounds,
                    Median(wavRatios), Median(mp3Ratios));
    std::printf("load average at the end: %s\n", LoadAverage().c_str());
    if (ownServer)
        Run({script, "stop", serverDir}, true);
    Run({"rm", "-rf", folder}, true);
    return ok ? 0 : 1;
}
