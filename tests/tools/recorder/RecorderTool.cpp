// sonacap-recorder: records from the default output (or a named input device)
// into a folder for a number of seconds and prints every notification of the
// engine as it arrives. Uses only the engine's public interface.

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "Sonacap.h"

namespace {

volatile std::sig_atomic_t interrupted = 0;

void OnSignal(int)
{
    interrupted = 1;
}

void Usage(const char* program)
{
    std::fprintf(stderr,
                 "usage: %s [options] FOLDER\n"
                 "  --seconds N     record for N seconds (default 30; Ctrl+C stops earlier)\n"
                 "  --input NAME    record the input device NAME (part of its name is enough)\n"
                 "                  instead of what the default output plays\n"
                 "  --list          list the input devices and exit\n"
                 "  --format wav|mp3  song format (default wav)\n"
                 "  --quality Q     MP3 quality: 0 128, 2 224, 3 256, 4 320, other 192 kbit/s (default 4)\n"
                 "  --split MS      silence that ends a song, in ms (default 200)\n"
                 "  --min MS        shortest song kept, in ms (default 3000)\n"
                 "  --rate HZ       sample rate of the songs (default 44100)\n"
                 "  --channels N    channels asked of an input device (default 2)\n",
                 program);
}

void Notify(void*, tagSonacapNotify code, void* param)
{
    switch (code) {
    case kSonacapNotifyProcessStart: {
        auto* p = static_cast<AudioParam*>(param);
        std::printf("0 capture started: %d Hz, %d channels, %d bits\n", p->samplesPerSec, p->channels,
                    p->bitsPerSample);
        break;
    }
    case kSonacapNotifyAudioClip: {
        auto* c = static_cast<AudioClip*>(param);
        std::printf("1 idle clip: %s, %d bytes\n", c->type == 3 ? "music" : "silence", c->size);
        break;
    }
    case kSonacapNotifyMusicStart: {
        auto* c = static_cast<AudioClip*>(param);
        std::printf("2 song started: %s\n", c->name);
        break;
    }
    case kSonacapNotifyMusicData: {
        auto* c = static_cast<AudioClip*>(param);
        std::printf("3 song data: %s, %d bytes, %d s\n", c->type == 3 ? "music" : "silence", c->size, c->seconds);
        break;
    }
    case kSonacapNotifyMusicEnd:
        if (param)
            std::printf("4 song finished: %s\n", static_cast<const char*>(param));
        else
            std::printf("4 song too short, deleted\n");
        break;
    case kSonacapNotifyDiskFull:
        // Also raised when a song file cannot be created (see the log).
        std::printf("6 recording stopped: disk nearly full or song file not created (%llu bytes free)\n",
                    static_cast<unsigned long long>(*static_cast<uint64_t*>(param)));
        break;
    default:
        std::printf("%d\n", static_cast<int>(code));
        break;
    }
    std::fflush(stdout);
}

bool ParseInt(const char* text, int* out)
{
    char* end = nullptr;
    long v = std::strtol(text, &end, 10);
    if (!text[0] || *end)
        return false;
    *out = static_cast<int>(v);
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    int seconds = 30, format = 1, quality = 4, split = 200, minimum = 3000, rate = 44100, channels = 2;
    const char* input = nullptr;
    const char* folder = nullptr;
    bool list = false;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        bool hasValue = i + 1 < argc;
        int* number = nullptr;
        if (a == "--seconds") number = &seconds;
        else if (a == "--quality") number = &quality;
        else if (a == "--split") number = &split;
        else if (a == "--min") number = &minimum;
        else if (a == "--rate") number = &rate;
        else if (a == "--channels") number = &channels;
        if (number) {
            if (!hasValue || !ParseInt(argv[++i], number)) {
                Usage(argv[0]);
                return 2;
            }
        } else if (a == "--input" && hasValue) {
            input = argv[++i];
        } else if (a == "--format" && hasValue) {
            std::string f = argv[++i];
            if (f != "wav" && f != "mp3") {
                Usage(argv[0]);
                return 2;
            }
            format = f == "wav" ? 1 : 2;
        } else if (a == "--list") {
            list = true;
        } else if (!a.empty() && a[0] != '-' && !folder) {
            folder = argv[i];
        } else {
            Usage(argv[0]);
            return 2;
        }
    }
    if (!folder && !list) {
        Usage(argv[0]);
        return 2;
    }
    std::string work = folder ? folder : "/tmp";
    ::mkdir(work.c_str(), 0755);

    InitSonacapModule(work.c_str(), (work + "/log").c_str());
    CSonacapBase* engine = CSonacapBase::GetInstance();
    if (list) {
        int count = engine->InputDeviceCount();
        for (int i = 0; i < count; ++i) {
            char name[256];
            if (engine->GetInputDevice(static_cast<unsigned>(i), name, sizeof name) == 0)
                std::printf("%d: %s\n", i, name);
        }
        CSonacapBase::Release(engine);
        return 0;
    }

    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);
    engine->RegCallback(Notify, nullptr);
    engine->SetIntParam(1, split);
    engine->SetIntParam(2, minimum);
    engine->SetTextParam(3, folder);
    AudioParam param{rate, channels, 16, 0, 0, 0, 0};
    int result = engine->SelectMode(input ? 2 : 1, param, input);
    if (result == 0)
        result = engine->Start(0, format, quality);
    if (result != 0) {
        std::fprintf(stderr, "recording could not start: error %d (see %s/log/Sonacap.log)\n", result, work.c_str());
        CSonacapBase::Release(engine);
        return 1;
    }
    std::printf("recording into %s for %d s\n", folder, seconds);
    std::fflush(stdout);
    for (int tenth = 0; tenth < seconds * 10 && !interrupted; ++tenth)
        ::usleep(100000);
    engine->Stop();
    // Reset finishes a song still open and reports it before it returns.
    engine->Reset();
    CSonacapBase::Release(engine);
    return 0;
}
