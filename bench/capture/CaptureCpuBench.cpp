// Measures the engine's CPU time while it records live from the sound
// server's default output, for WAV and for MP3 at 320 kbit/s, and prints it as
// a share of one core next to the length of the audio recorded; then the same
// MP3 recording by a peer made of the system's tools (parec on the same
// monitor piped into lame), with the ratio.
//
//   bench_capture [seconds]      (default 60 per format)
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

// Songs of 14 s with 1 s of silence between them, as a 16-bit WAV file.
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
    std::vector<int16_t> block(static_cast<size_t>(kRate) * kChannels);
    for (uint32_t second = 0; second < static_cast<uint32_t>(seconds); ++second) {
        bool silent = second % 15 == 14;
        for (int i = 0; i < kRate; ++i) {
            double t = (second * kRate + i) / static_cast<double>(kRate);
            int16_t v = silent ? 0
                               : static_cast<int16_t>(6000 * std::sin(2 * M_PI * 440 * t) +
                                                      3000 * std::sin(2 * M_PI * 1250 * t));
            block[static_cast<size_t>(i) * 2] = v;
            block[static_cast<size_t>(i) * 2 + 1] = v;
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

bool Measure(const char* label, const char* subfolder, int format, int quality, const std::string& folder,
             const std::string& program, int seconds, double* share = nullptr)
{
    std::string out = folder + "/" + subfolder;
    ::mkdir(out.c_str(), 0755);
    songsWritten = 0;
    CSonacapBase* engine = CSonacapBase::GetInstance();
    engine->RegCallback(Notify, nullptr);
    engine->SetTextParam(3, out.c_str());
    double cpu0 = CpuSeconds(), wall0 = WallSeconds();
    AudioParam param{kRate, kChannels, 16, 0, 0, 0, 0};
    int result = engine->SelectMode(1, param, nullptr);
    if (result == 0)
        result = engine->Start(0, format, quality);
    if (result != 0) {
        std::fprintf(stderr, "%s: recording did not start (error %d)\n", label, result);
        CSonacapBase::Release(engine);
        return false;
    }
    int played = Run({"paplay", program}, true);
    engine->Stop();
    engine->Reset();
    double cpu = CpuSeconds() - cpu0, wall = WallSeconds() - wall0;
    CSonacapBase::Release(engine);
    if (played != 0) {
        std::fprintf(stderr, "%s: paplay failed\n", label);
        return false;
    }
    std::printf("%-14s audio %4d s (recording %5.1f s)  engine CPU %6.3f s = %5.2f %% of one core  (%d songs)\n", label,
                seconds, wall, cpu, 100.0 * cpu / wall, songsWritten.load());
    if (share)
        *share = 100.0 * cpu / wall;
    std::fflush(stdout);
    return true;
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

// The same recording without the engine: parec reads the default output's
// monitor and pipes it into lame (MP3 at 320 kbit/s, no ReplayGain, like the
// engine), while the same program plays. Their CPU time together.
bool MeasurePeer(const std::string& folder, const std::string& program, int seconds, double engineShare)
{
    // Close-on-exec: only parec's output and lame's input may hold the pipe,
    // or lame never sees its end.
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0)
        return false;
    auto spawnWith = [](const std::vector<std::string>& args, int in, int out, pid_t* pid) {
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
    };
    pid_t parec = 0, lame = 0;
    const std::string out = folder + "/peer.mp3";
    bool ok = spawnWith({"parec", "-d", "@DEFAULT_MONITOR@", "--raw", "--format=s16le", "--rate=44100", "--channels=2"},
                        -1, fds[1], &parec);
    ok = ok && spawnWith({"lame", "--silent", "--noreplaygain", "-r", "-s", "44.1", "--bitwidth", "16", "--signed",
                          "--little-endian", "-m", "s", "-b", "320", "--cbr", "-", out},
                         fds[0], -1, &lame);
    close(fds[0]);
    close(fds[1]);
    if (!ok) {
        std::fprintf(stderr, "parec | lame: could not start\n");
        return false;
    }
    const double wall0 = WallSeconds();
    const int played = Run({"paplay", program}, true);
    kill(parec, SIGTERM);
    const double parecCpu = ReapCpuSeconds(parec);
    const double lameCpu = ReapCpuSeconds(lame);   // ends at the pipe's end
    const double wall = WallSeconds() - wall0;
    unlink(out.c_str());
    if (played != 0 || parecCpu < 0 || lameCpu < 0) {
        std::fprintf(stderr, "parec | lame: failed (paplay %d, parec %.3f, lame %.3f)\n", played, parecCpu, lameCpu);
        return false;
    }
    const double share = 100.0 * (parecCpu + lameCpu) / wall;
    std::printf("%-14s audio %4d s (recording %5.1f s)  CPU %6.3f s = %5.2f %% of one core  (parec %.3f s, lame %.3f s)"
                "; engine / peer %.2f\n",
                "parec | lame", seconds, wall, parecCpu + lameCpu, share, parecCpu, lameCpu, engineShare / share);
    std::fflush(stdout);
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    int seconds = argc > 1 ? std::atoi(argv[1]) : 60;
    if (seconds < 5)
        seconds = 5;
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
    std::string program = folder + "/program.wav";
    bool ok = WriteProgram(program, seconds);
    InitSonacapModule(folder.c_str(), (folder + "/log").c_str());
    ok = ok && Measure("WAV", "wav", 1, 0, folder, program, seconds);
    double mp3Share = 0;
    ok = ok && Measure("MP3 320kbit/s", "mp3", 2, 4, folder, program, seconds, &mp3Share);
    // The peer: what recording the same with the system's own tools costs.
    ok = ok && MeasurePeer(folder, program, seconds, mp3Share);
    if (ownServer)
        Run({script, "stop", serverDir}, true);
    Run({"rm", "-rf", folder}, true);
    return ok ? 0 : 1;
}
