#include <gtest/gtest.h>

#include <signal.h>
#include <sndfile.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>

#include "CError.h"
#include "CPcmsink.h"
#include "CoreTestSupport.h"
#include "pcmsink.h"

using namespace coretest;

namespace {

uint16_t Le16(const std::vector<unsigned char>& b, size_t at)
{
    return static_cast<uint16_t>(b[at] | (b[at + 1] << 8));
}

uint32_t Le32(const std::vector<unsigned char>& b, size_t at)
{
    return static_cast<uint32_t>(b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (static_cast<uint32_t>(b[at + 3]) << 24));
}

}  // namespace

struct WavCase {
    int rate;
    int channels;
    int bits;
    int subFormat;
};

void PrintTo(const WavCase& c, std::ostream* os) { *os << c.rate << " Hz " << c.channels << " ch " << c.bits << " bit"; }

class PcmsinkFormats : public ::testing::TestWithParam<WavCase> {};

// Every depth comes back byte for byte, under the header its rate, channels
// and bits call for (whatever the block-align and extra-size fields say).
TEST_P(PcmsinkFormats, ReadsBackExactly)
{
    const WavCase c = GetParam();
    TempDir dir;
    AudioParam format = Format(c.rate, c.channels, c.bits);
    format.blockAlign = 99;
    format.extraSize = 22;
    const std::vector<unsigned char> pcm = Tone(format, 700, 330, 0.6);
    const std::string path = dir.Folder() + "song.wav";

    CPcmsink sink;
    sink.Open(path.c_str(), &format);
    // Odd block sizes: the writer must keep partial frames for the next call.
    size_t offset = 0;
    const size_t steps[] = {1, 7, 3528, 333, 2};
    for (size_t i = 0; offset < pcm.size(); ++i) {
        const size_t n = std::min(steps[i % 5], pcm.size() - offset);
        sink.WriteData(pcm.data() + offset, static_cast<unsigned>(n));
        offset += n;
    }
    sink.Close();
    sink.Close();  // harmless

    int rate = 0, channels = 0, sfFormat = 0;
    const std::vector<unsigned char> data = WavData(path, &rate, &channels, &sfFormat);
    EXPECT_EQ(rate, c.rate);
    EXPECT_EQ(channels, c.channels);
    EXPECT_EQ(sfFormat, SF_FORMAT_WAV | c.subFormat);
    EXPECT_TRUE(data == pcm) << data.size() << " vs " << pcm.size();

    const std::vector<unsigned char> file = ReadFile(path);
    ASSERT_GE(file.size(), 44u);
    EXPECT_EQ(0, std::memcmp(file.data(), "RIFF", 4));
    EXPECT_EQ(Le32(file, 4), file.size() - 8);
    EXPECT_EQ(Le16(file, 22), c.channels);
    EXPECT_EQ(Le32(file, 24), static_cast<uint32_t>(c.rate));
    EXPECT_EQ(Le32(file, 28), static_cast<uint32_t>(c.rate * c.channels * c.bits / 8));
    EXPECT_EQ(Le16(file, 32), c.channels * c.bits / 8);
    EXPECT_EQ(Le16(file, 34), c.bits);
}

INSTANTIATE_TEST_SUITE_P(Depths, PcmsinkFormats,
                         ::testing::Values(WavCase{8000, 1, 8, SF_FORMAT_PCM_U8},
                                           WavCase{44100, 2, 16, SF_FORMAT_PCM_16},
                                           WavCase{48000, 2, 24, SF_FORMAT_PCM_24},
                                           WavCase{48000, 2, 32, SF_FORMAT_FLOAT},
                                           WavCase{48000, 6, 16, SF_FORMAT_PCM_16}),
                         [](const ::testing::TestParamInfo<WavCase>& info) {
                             return std::to_string(info.param.rate) + "Hz_" + std::to_string(info.param.channels) +
                                    "ch_" + std::to_string(info.param.bits) + "bit";
                         });

TEST(Pcmsink, RefusesWhatItCannotWrite)
{
    TempDir dir;
    CPcmsink sink;
    const AudioParam good = Format(44100, 2, 16);
    const AudioParam oddBits = Format(44100, 2, 12);
    const std::string missing = dir.Folder() + "gone/song.wav";
    EXPECT_THROW(sink.Open(missing.c_str(), &good), CError);
    EXPECT_THROW(sink.Open((dir.Folder() + "a.wav").c_str(), &oddBits), CError);
    EXPECT_THROW(sink.Open(nullptr, &good), CError);
    // Writing and closing without an open file do nothing.
    const unsigned char bytes[4] = {};
    EXPECT_NE(WAV_WriteData(bytes, 4), 0);
    sink.WriteData(bytes, 4);
    sink.Close();
    EXPECT_FALSE(FileExists(dir.Folder() + "a.wav"));
}

// A recording whose program is killed still opens as a WAV holding all that
// was written but its last quarter second: every block that reaches the file
// brings the header up to date.
TEST(Pcmsink, KilledWriterLeavesAValidFile)
{
    TempDir dir;
    const std::string path = dir.Folder() + "killed.wav";
    const AudioParam format = Format(44100, 2, 16);
    const std::vector<unsigned char> pcm = Tone(format, 2000, 440, 0.5);
    const size_t quarterSecond = 44100 / 4 * 4;

    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        close(ready[0]);
        if (WAV_Open(path.c_str(), &format) != 0)
            _exit(2);
        for (size_t at = 0; at < pcm.size(); at += 3528)
            WAV_WriteData(pcm.data() + at, static_cast<unsigned>(std::min<size_t>(3528, pcm.size() - at)));
        const char done = 1;
        if (write(ready[1], &done, 1) != 1)
            _exit(3);
        for (;;)
            pause();
    }
    close(ready[1]);
    char done = 0;
    ASSERT_EQ(read(ready[0], &done, 1), 1);
    close(ready[0]);
    kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status));

    const std::vector<unsigned char> data = WavData(path);
    ASSERT_LE(data.size(), pcm.size());
    EXPECT_GE(data.size() + quarterSecond, pcm.size());
    EXPECT_EQ(0, std::memcmp(data.data(), pcm.data(), data.size()));
}
