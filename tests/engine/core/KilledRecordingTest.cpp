// A program killed in the middle of a song (SIGKILL, a crash, the power
// going) keeps in the song's file all that reached it but its last moments:
// the engine writes what it encoded at least every quarter second, and a WAV's
// header counts what was written each time. What the file holds is placed in
// the pink noise that was recorded, to the sample.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <sndfile.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "CoreTestSupport.h"
#include "NoisePlacement.h"

extern char** environ;

using namespace coretest;

namespace {

constexpr uint32_t kSeed = 31;
constexpr double kProgramSeconds = 20;
// How much of what reached the engine may be missing from the end of the
// file: the writer's quarter second, the processing thread's nap on an empty
// queue and the encoder's own look-ahead.
constexpr double kLostAtMostMs = 500;

// Frames of PCM the data chunk of a WAV file really holds, whatever its
// header says; -1 when there is no data chunk.
long WavFramesOnDisk(const std::string& path, int frameBytes)
{
    const std::vector<unsigned char> bytes = ReadFile(path);
    for (size_t at = 12; at + 8 <= bytes.size() && at < 4096; ++at)
        if (std::memcmp(bytes.data() + at, "data", 4) == 0)
            return static_cast<long>((bytes.size() - at - 8) / static_cast<size_t>(frameBytes));
    return -1;
}

// The writer: a bit rate for MP3, or "wav".
class KilledRecording : public ::testing::TestWithParam<std::string> {};

TEST_P(KilledRecording, FileKeepsAllButTheLastHalfSecond)
{
    const std::string writer = GetParam();
    TempDir dir;
    int out[2];
    ASSERT_EQ(pipe(out), 0);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    const std::vector<std::string> args = {SONACAP_RECORDING_CHILD, dir.Path(), std::to_string(kSeed),
                                           std::to_string(kProgramSeconds), writer};
    std::vector<char*> argv;
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    pid_t child = -1;
    ASSERT_EQ(posix_spawn(&child, argv[0], &actions, nullptr, argv.data(), environ), 0);
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);

    // Killed once three seconds of the program reached it.
    long pushedMs = 0;
    FILE* reports = fdopen(out[0], "r");
    char line[64];
    while (pushedMs < 3000 && std::fgets(line, sizeof line, reports))
        std::sscanf(line, "pushed %ld", &pushedMs);
    kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);
    std::fclose(reports);
    ASSERT_GE(pushedMs, 3000) << "the recording ended before it was killed";
    ASSERT_TRUE(WIFSIGNALED(status));

    const std::vector<std::string> files = ListFolder(dir.Path());
    ASSERT_EQ(files.size(), 1u);
    const NoisePlacement noise(kSeed, kProgramSeconds);
    const NoisePlacement::Result placed = noise.PlaceFile(dir.Folder() + files[0]);
    ASSERT_TRUE(placed.placed) << placed.Describe();
    std::printf("%s, killed after %ld ms: %s; lost at the end %.0f ms\n", writer.c_str(), pushedMs,
                placed.Describe().c_str(), pushedMs - placed.lastMs);
    EXPECT_LT(placed.firstMs, 25) << "the song starts with the first block";
    EXPECT_LT(placed.missingMs, 1) << placed.Describe();
    EXPECT_LT(placed.repeatedMs, 1) << placed.Describe();
    EXPECT_LE(pushedMs - placed.lastMs, kLostAtMostMs) << placed.Describe();

    if (writer == "wav") {
        // The header counts what reached the file, but for the last block
        // when the kill came between its write and the header's.
        SF_INFO info{};
        SNDFILE* file = sf_open((dir.Folder() + files[0]).c_str(), SFM_READ, &info);
        ASSERT_NE(file, nullptr) << sf_strerror(nullptr);
        sf_close(file);
        const long onDisk = WavFramesOnDisk(dir.Folder() + files[0], noise.Channels() * 2);
        const long block = noise.Rate() / 4;
        std::printf("header %ld frames, file %ld frames\n", static_cast<long>(info.frames), onDisk);
        EXPECT_LE(info.frames, onDisk);
        EXPECT_GE(info.frames, onDisk - block);
    }
}

INSTANTIATE_TEST_SUITE_P(Writers, KilledRecording, ::testing::Values("128", "192", "320", "wav"),
                         [](const ::testing::TestParamInfo<std::string>& info) {
                             return info.param == "wav" ? info.param : info.param + "k";
                         });

}  // namespace
