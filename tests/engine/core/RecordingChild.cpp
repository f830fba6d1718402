// A recording that a test may kill: the engine's block queue, processing
// thread and song writer (MP3, or WAV when the bit rate is "wav"), fed a known pink-noise program in 20 ms blocks at the
// pace a capture delivers them, as the program records. After each block it
// prints "pushed <ms>" (the milliseconds of the program queued so far), so
// the test knows what had reached the engine when it killed it.
//
//   engine_recording_child <folder> <seed> <seconds> <kbit/s | wav>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "CAudioDataManager.h"
#include "CAudioProcess.h"
#include "CMp3File.h"
#include "CPcmsink.h"
#include "NoisePlacement.h"

int main(int argc, char** argv)
{
    if (argc != 5) {
        std::fprintf(stderr, "usage: %s <folder> <seed> <seconds> <kbit/s | wav>\n", argv[0]);
        return 2;
    }
    const std::string folder = argv[1];
    const auto seed = static_cast<uint32_t>(std::strtoul(argv[2], nullptr, 10));
    const double seconds = std::strtod(argv[3], nullptr);
    const bool wav = std::string(argv[4]) == "wav";
    const auto kbps = static_cast<unsigned>(std::strtoul(argv[4], nullptr, 10));

    const NoisePlacement noise(seed, seconds);
    const std::vector<int16_t> pcm = noise.Pcm();
    const AudioParam format{noise.Rate(), noise.Channels(), 16, 0, noise.Channels() * 2, 1, 0};

    CAudioDataManager queue;
    CAudioProcess process(&queue);
    CMp3File mp3;
    CPcmsink wavFile;
    mp3.SetRatio(kbps);
    process.SetOutputFolder(folder.c_str());
    if (wav)
        process.SetMusicFile(&wavFile, "wav");
    else
        process.SetMusicFile(&mp3, "mp3");
    process.SetMinimum(0);
    queue.SetAudioParam(&format);
    process.Restart();
    process.SetState(2);

    const size_t block = static_cast<size_t>(noise.Rate() / 50) * static_cast<size_t>(noise.Channels());
    auto due = std::chrono::steady_clock::now();
    for (size_t at = 0; at + block <= pcm.size(); at += block) {
        queue.PushData(pcm.data() + at, static_cast<unsigned>(block * sizeof(int16_t)));
        std::printf("pushed %zu\n", (at + block) / static_cast<size_t>(noise.Channels()) * 1000 /
                                        static_cast<size_t>(noise.Rate()));
        std::fflush(stdout);
        due += std::chrono::milliseconds(20);
        std::this_thread::sleep_until(due);
    }
    process.Terminate();
    process.SetMusicFile(nullptr, "dat");
    return 0;
}
