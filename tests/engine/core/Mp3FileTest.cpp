#include <gtest/gtest.h>

#include <sys/resource.h>

#include <csignal>

#include <cmath>
#include <cstring>
#include <fstream>
#include <sstream>

#include "CError.h"
#include "CMp3File.h"
#include "CPcmsink.h"
#include "CoreTestSupport.h"
#include "Log.h"

using namespace coretest;

namespace {

// Writes `pcm` the way the processing thread does, in 20 ms clips.
void WriteSong(CMp3File& mp3, const std::string& path, const AudioParam& format,
               const std::vector<unsigned char>& pcm)
{
    mp3.Open(path.c_str(), &format);
    const size_t clip = static_cast<size_t>(format.samplesPerSec) * format.channels * format.bitsPerSample / 8 / 50;
    for (size_t at = 0; at < pcm.size(); at += clip)
        mp3.WriteData(pcm.data() + at, static_cast<unsigned>(std::min(clip, pcm.size() - at)));
    mp3.Close();
}

bool Contains(const std::vector<unsigned char>& bytes, size_t limit, const char* text)
{
    const size_t n = std::strlen(text);
    for (size_t i = 0; i + n <= std::min(limit, bytes.size()); ++i)
        if (std::memcmp(bytes.data() + i, text, n) == 0)
            return true;
    return false;
}

}  // namespace

struct BitRateCase {
    unsigned kbps;
    int channels;
};

void PrintTo(const BitRateCase& c, std::ostream* os) { *os << c.kbps << " kbit/s " << c.channels << " ch"; }

class Mp3BitRates : public ::testing::TestWithParam<BitRateCase> {};

TEST_P(Mp3BitRates, ConstantRateWithTagAtTheHead)
{
    const BitRateCase c = GetParam();
    TempDir dir;
    const std::string path = dir.Folder() + "song.mp3";
    const AudioParam format = Format(44100, c.channels, 16);
    CMp3File mp3;
    mp3.SetRatio(c.kbps);
    WriteSong(mp3, path, format, Tone(format, 3000, 440, 0.5));

    const std::vector<unsigned char> bytes = ReadFile(path);
    ASSERT_GT(bytes.size(), 10u);
    EXPECT_EQ(0, std::memcmp(bytes.data(), "ID3", 3));
    // No Xing/Info frame: it would announce a length that is never filled in.
    EXPECT_FALSE(Contains(bytes, 4096, "Xing"));
    EXPECT_FALSE(Contains(bytes, 4096, "Info"));
    EXPECT_TRUE(EndsOnWholeFrame(path));

    const ProbeResult probe = Probe(path);
    EXPECT_EQ(probe.codec, "mp3");
    EXPECT_EQ(probe.sampleRate, 44100);
    EXPECT_EQ(probe.channels, c.channels);
    EXPECT_EQ(probe.bitRate, static_cast<long>(c.kbps) * 1000);
    EXPECT_NEAR(probe.duration, 3.0, 0.1);
    // A mono song must hold the whole tone at its pitch, not half of it.
    EXPECT_NEAR(Rms(DecodeMono(path)), 0.5 / std::sqrt(2.0) * 32767, 1500);
}

INSTANTIATE_TEST_SUITE_P(Qualities, Mp3BitRates,
                         ::testing::Values(BitRateCase{128, 2}, BitRateCase{192, 2}, BitRateCase{224, 2},
                                           BitRateCase{256, 2}, BitRateCase{320, 2}, BitRateCase{128, 1}),
                         [](const ::testing::TestParamInfo<BitRateCase>& info) {
                             return std::to_string(info.param.kbps) + "k_" + std::to_string(info.param.channels) + "ch";
                         });

// Non-16-bit captures are converted before encoding: the MP3 carries the tone.
class Mp3Depths : public ::testing::TestWithParam<int> {};

TEST_P(Mp3Depths, ConvertedTo16Bit)
{
    TempDir dir;
    const std::string path = dir.Folder() + "song.mp3";
    const AudioParam format = Format(48000, 2, GetParam());
    CMp3File mp3;
    mp3.SetRatio(192);
    WriteSong(mp3, path, format, Tone(format, 2000, 440, 0.5));
    const ProbeResult probe = Probe(path);
    EXPECT_NEAR(probe.duration, 2.0, 0.1);
    EXPECT_EQ(probe.channels, 2);
    EXPECT_NEAR(Rms(DecodeMono(path)), 0.5 / std::sqrt(2.0) * 32767, 1500);
}

INSTANTIATE_TEST_SUITE_P(Bits, Mp3Depths, ::testing::Values(8, 24, 32),
                         [](const ::testing::TestParamInfo<int>& info) { return std::to_string(info.param) + "bit"; });

TEST(Mp3File, OpenFailures)
{
    TempDir dir;
    CMp3File mp3;
    const AudioParam good = Format(44100, 2, 16);
    try {
        mp3.Open((dir.Folder() + "missing/song.mp3").c_str(), &good);
        FAIL() << "opened a file in a missing folder";
    } catch (const CError& error) {
        EXPECT_EQ(error.Code(), kErrOpenFile);
    }
    const AudioParam oddBits = Format(44100, 2, 12);
    try {
        mp3.Open((dir.Folder() + "odd.mp3").c_str(), &oddBits);
        FAIL() << "accepted 12-bit samples";
    } catch (const CError& error) {
        EXPECT_EQ(error.Code(), kErrEncoderInit);
    }
    const AudioParam six = Format(48000, 6, 16);
    try {
        mp3.Open((dir.Folder() + "missing/six.mp3").c_str(), &six);
        FAIL() << "opened a six-channel song in a missing folder";
    } catch (const CError& error) {
        EXPECT_EQ(error.Code(), kErrOpenFile);
    }
    // Nothing is open: writing and closing do nothing (and convert nothing).
    const unsigned char bytes[8] = {};
    mp3.WriteData(bytes, sizeof(bytes));
    mp3.Close();
    mp3.Close();
    EXPECT_TRUE(ListFolder(dir.Path()).empty());
}

// Six channels become a stereo MP3 at the song's own path.
TEST(Mp3File, MultiChannelMixedDown)
{
    TempDir dir;
    const std::string path = dir.Folder() + "six channels.mp3";
    const AudioParam format = Format(48000, 6, 16);
    CMp3File mp3;
    mp3.SetRatio(256);
    WriteSong(mp3, path, format, Tone(format, 2000, 440, 0.5));

    EXPECT_EQ(ListFolder(dir.Path()), std::vector<std::string>{"six channels.mp3"});
    const ProbeResult probe = Probe(path);
    EXPECT_EQ(probe.codec, "mp3");
    EXPECT_EQ(probe.channels, 2);
    EXPECT_EQ(probe.sampleRate, 48000);
    EXPECT_EQ(probe.bitRate, 256000);
    EXPECT_NEAR(probe.duration, 2.0, 0.1);
}

// A converter that fails, is missing or produces nothing never costs the
// recording: the WAV data is kept under a ".wav" name (never as WAV behind an
// ".mp3" name), ClosedPath names it, and no partial output stays. A ".wav"
// name already taken is left alone.
class Mp3BadConverter : public ::testing::TestWithParam<const char*> {};

TEST_P(Mp3BadConverter, KeepsTheWavUnderAWavName)
{
    TempDir dir;
    const std::string taken = dir.Folder() + "song.wav";
    FILE* f = fopen(taken.c_str(), "w");
    ASSERT_NE(f, nullptr);
    fputs("keep", f);
    fclose(f);
    const AudioParam format = Format(48000, 6, 16);
    const std::vector<unsigned char> pcm = Tone(format, 500, 440, 0.5);
    CMp3File mp3;
    mp3.SetConverter(GetParam(), 60);
    for (int round = 1; round <= 2; ++round) {
        SCOPED_TRACE(round);
        const std::string path = dir.Folder() + "song.mp3";
        WriteSong(mp3, path, format, pcm);
        const std::string kept = dir.Folder() + "song " + std::to_string(round) + ".wav";
        EXPECT_EQ(mp3.ClosedPath(), kept);
        EXPECT_FALSE(FileExists(path));
        int channels = 0;
        EXPECT_TRUE(WavData(kept, nullptr, &channels) == pcm);
        EXPECT_EQ(channels, 6);
        EXPECT_EQ(mp3.WriteError(), 0) << "a failed mix-down is no write failure";
    }
    EXPECT_EQ(ListFolder(dir.Path()), (std::vector<std::string>{"song 1.wav", "song 2.wav", "song.wav"}));
    const auto untouched = ReadFile(taken);
    EXPECT_EQ(std::string(untouched.begin(), untouched.end()), "keep");
}

INSTANTIATE_TEST_SUITE_P(Converters, Mp3BadConverter,
                         ::testing::Values("false", "true", "/nonexistent/ffmpeg"),
                         [](const ::testing::TestParamInfo<const char*>& info) { return NamePart(info.param); });

// A song whose writes fail (here: past a file-size limit, as on a full disk)
// is logged once, not once per clip, and an MP3 cut short ends on a whole
// frame.
TEST(SongWriters, FailedWritesAreLoggedOncePerSong)
{
    TempDir dir;
    ASSERT_NE(InitLogSystem("writers", dir.Path().c_str(), 5, 2, 0), nullptr);
    // Writes past the limit fail with EFBIG instead of raising SIGXFSZ.
    signal(SIGXFSZ, SIG_IGN);
    rlimit saved;
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    rlimit limit = saved;
    limit.rlim_cur = 64 * 1024;
    const AudioParam format = Format(44100, 2, 16);
    const std::vector<unsigned char> pcm = Tone(format, 3000, 440, 0.5);
    const size_t clip = 3528;
    CMp3File mp3;
    CPcmsink wav;
    IMusicFile* writers[] = {&mp3, &wav};
    const std::string names[] = {"a", "b"};
    // The log file itself must stay below the limit: it is opened first and
    // holds only a few lines.
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limit), 0);
    for (IMusicFile* writer : writers) {
        for (const std::string& name : names) {
            const std::string song = dir.Folder() + name + (writer == &mp3 ? ".mp3" : ".wav");
            writer->Open(song.c_str(), &format);
            for (size_t at = 0; at + clip <= pcm.size(); at += clip)
                writer->WriteData(pcm.data() + at, static_cast<unsigned>(clip));
            writer->Close();
        }
    }
    setrlimit(RLIMIT_FSIZE, &saved);
    signal(SIGXFSZ, SIG_DFL);
    ReleaseLogSystem();
    std::ifstream in(dir.Folder() + "writers.log");
    std::stringstream text;
    text << in.rdbuf();
    size_t count = 0;
    for (size_t at = text.str().find("the song ends here"); at != std::string::npos;
         at = text.str().find("the song ends here", at + 1))
        ++count;
    EXPECT_EQ(count, 4u) << text.str();
    for (const std::string& name : names) {
        const std::string song = dir.Folder() + name + ".mp3";
        EXPECT_TRUE(EndsOnWholeFrame(song)) << song;
        EXPECT_GT(Probe(song).duration, 1.0) << song;
    }
}
