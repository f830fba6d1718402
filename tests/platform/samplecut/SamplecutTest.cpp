// The recognition sample: what comes out (mono 16-bit WAV at the fixed rate,
// the window's length, the tones of the input at their level, nothing folded
// back from above the new Nyquist frequency) and the result classes.
#include "samplecut.h"

#include <gtest/gtest.h>
#include <sndfile.h>
#include <sys/stat.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

namespace {

struct Tone {
    double hz;
    double amplitude;
    int channel;   // -1: every channel
};

// Writes `seconds` of the tones; false when libsndfile cannot write the format.
bool WriteTones(const std::string& path, int format, int rate, int channels, double seconds,
                const std::vector<Tone>& tones)
{
    SF_INFO info{};
    info.samplerate = rate;
    info.channels = channels;
    info.format = format;
    SNDFILE* sf = sf_open(path.c_str(), SFM_WRITE, &info);
    if (!sf)
        return false;
    const sf_count_t frames = static_cast<sf_count_t>(seconds * rate);
    std::vector<float> buffer(static_cast<size_t>(frames * channels), 0.0f);
    for (sf_count_t i = 0; i < frames; ++i)
        for (const Tone& tone : tones)
            for (int c = 0; c < channels; ++c)
                if (tone.channel < 0 || tone.channel == c)
                    buffer[static_cast<size_t>(i * channels + c)] +=
                        static_cast<float>(tone.amplitude * std::sin(2.0 * M_PI * tone.hz * i / rate));
    const bool ok = sf_writef_float(sf, buffer.data(), frames) == frames;
    sf_close(sf);
    return ok;
}

std::vector<char> ReadBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<char>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

uint32_t Le(const unsigned char* p, int bytes)
{
    uint32_t v = 0;
    for (int i = bytes - 1; i >= 0; --i)
        v = (v << 8) | p[i];
    return v;
}

// The sample's header checked, its samples as doubles in -1..1.
std::vector<double> SamplesOf(const unsigned char* wav, int length)
{
    EXPECT_GE(length, 44);
    if (length < 44)
        return {};
    EXPECT_EQ(std::memcmp(wav, "RIFF", 4), 0);
    EXPECT_EQ(Le(wav + 4, 4), static_cast<uint32_t>(length - 8));
    EXPECT_EQ(std::memcmp(wav + 8, "WAVEfmt ", 8), 0);
    EXPECT_EQ(Le(wav + 16, 4), 16u);
    EXPECT_EQ(Le(wav + 20, 2), 1u);                     // PCM
    EXPECT_EQ(Le(wav + 22, 2), 1u);                     // mono
    EXPECT_EQ(Le(wav + 24, 4), uint32_t(SAMPLECUT_RATE));
    EXPECT_EQ(Le(wav + 28, 4), uint32_t(SAMPLECUT_RATE * 2));
    EXPECT_EQ(Le(wav + 32, 2), 2u);
    EXPECT_EQ(Le(wav + 34, 2), 16u);
    EXPECT_EQ(std::memcmp(wav + 36, "data", 4), 0);
    EXPECT_EQ(Le(wav + 40, 4), static_cast<uint32_t>(length - 44));
    std::vector<double> samples;
    for (int at = 44; at + 1 < length; at += 2)
        samples.push_back(static_cast<int16_t>(Le(wav + at, 2)) / 32768.0);
    return samples;
}

// Amplitude of the `hz` component over the middle of the samples (the edges
// fade in and out through the interpolation kernel).
double Level(const std::vector<double>& samples, double hz)
{
    const size_t margin = SAMPLECUT_RATE / 4;
    if (samples.size() < 4 * margin)
        return 0.0;
    double re = 0.0;
    double im = 0.0;
    const size_t count = samples.size() - 2 * margin;
    for (size_t i = margin; i < margin + count; ++i) {
        re += samples[i] * std::cos(2.0 * M_PI * hz * static_cast<double>(i) / SAMPLECUT_RATE);
        im += samples[i] * std::sin(2.0 * M_PI * hz * static_cast<double>(i) / SAMPLECUT_RATE);
    }
    return 2.0 * std::hypot(re, im) / static_cast<double>(count);
}

double Rms(const std::vector<double>& samples)
{
    double sum = 0.0;
    for (double s : samples)
        sum += s * s;
    return samples.empty() ? 0.0 : std::sqrt(sum / static_cast<double>(samples.size()));
}

class SamplecutTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/samplecut-test-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir = pattern;
    }
    void TearDown() override
    {
        std::error_code ignored;
        std::filesystem::remove_all(dir, ignored);
    }
    std::string dir;
};

struct Cut {
    int result = 0;
    unsigned char* sample = nullptr;
    ~Cut() { samplecut_free(sample); }
};

TEST_F(SamplecutTest, TonesComeOutMonoAtTheSampleRateAndTheirLevel)
{
    struct Case {
        const char* name;
        int format;
        int rate;
        int channels;
        double seconds;
        std::vector<Tone> tones;
        double expectedSeconds;
        std::vector<std::pair<double, double>> levels;   // Hz, amplitude after the down-mix
    };
    const Case cases[] = {
        {"CD stereo, longer than the window", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100, 2, 20,
         {{1000, 0.5, -1}}, 12, {{1000, 0.5}}},
        {"channels are averaged", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 48000, 2, 4,
         {{1000, 0.6, 0}, {2000, 0.4, 1}}, 4, {{1000, 0.3}, {2000, 0.2}}},
        {"float 96 kHz", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 96000, 1, 3, {{440, 0.8, -1}}, 3, {{440, 0.8}}},
        {"six channels", SF_FORMAT_WAV | SF_FORMAT_PCM_24, 22050, 6, 2,
         {{700, 0.3, -1}, {1500, 0.6, 5}}, 2, {{700, 0.3}, {1500, 0.1}}},
        {"below the sample rate is raised", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 6000, 1, 2,
         {{1000, 0.5, -1}}, 2, {{1000, 0.5}}},
        {"the pass band keeps 3 kHz", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100, 1, 2,
         {{3000, 0.5, -1}}, 2, {{3000, 0.5}}},
        {"FLAC", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 44100, 2, 2, {{1000, 0.5, -1}}, 2, {{1000, 0.5}}},
        {"MP3", SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III, 44100, 2, 3, {{1000, 0.5, -1}}, 3, {{1000, 0.5}}},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = dir + "/tone" + std::to_string(n++);
        ASSERT_TRUE(WriteTones(path, c.format, c.rate, c.channels, c.seconds, c.tones));
        const std::vector<char> bytes = ReadBytes(path);

        Cut fromFile;
        fromFile.result = samplecut_from_file(path.c_str(), 0, 12, &fromFile.sample);
        Cut fromBuffer;
        fromBuffer.result = samplecut_from_buffer(bytes.data(), bytes.size(), 0, 12, &fromBuffer.sample);
        ASSERT_GT(fromFile.result, 0);
        ASSERT_EQ(fromBuffer.result, fromFile.result);
        EXPECT_EQ(std::memcmp(fromFile.sample, fromBuffer.sample, static_cast<size_t>(fromFile.result)), 0);

        const std::vector<double> samples = SamplesOf(fromFile.sample, fromFile.result);
        // MP3 adds the encoder's padding; every other format keeps its length.
        const double tolerance = (c.format & SF_FORMAT_TYPEMASK) == SF_FORMAT_MPEG ? 0.1 : 0.001;
        EXPECT_NEAR(samples.size() / double(SAMPLECUT_RATE), c.expectedSeconds, tolerance);
        double expectedPower = 0.0;
        for (const auto& [hz, amplitude] : c.levels) {
            EXPECT_NEAR(Level(samples, hz), amplitude, amplitude * 0.03) << hz << " Hz";
            expectedPower += amplitude * amplitude / 2;
        }
        // Nothing else: no noise, no images of the tones.
        EXPECT_NEAR(Rms(samples), std::sqrt(expectedPower), std::sqrt(expectedPower) * 0.05);
    }
}

TEST_F(SamplecutTest, NothingAboveTheNewNyquistFoldsBack)
{
    // 6 kHz and 5 kHz tones would land at 2 and 3 kHz if they were merely
    // picked every fifth sample.
    const std::string path = dir + "/high.wav";
    ASSERT_TRUE(WriteTones(path, SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100, 2, 3,
                           {{6000, 0.5, -1}, {5000, 0.4, -1}}));
    Cut cut;
    cut.result = samplecut_from_file(path.c_str(), 0, 12, &cut.sample);
    // At 16 bits what is left rounds to nothing: no usable audio.
    if (cut.result == 0)
        return;
    ASSERT_GT(cut.result, 0);
    const std::vector<double> samples = SamplesOf(cut.sample, cut.result);
    EXPECT_LT(Level(samples, 2000), 0.005);
    EXPECT_LT(Level(samples, 3000), 0.005);
    EXPECT_LT(Rms(samples), 0.005);
}

TEST_F(SamplecutTest, ResultClasses)
{
    const std::string garbage = dir + "/garbage.wav";
    std::ofstream(garbage) << "this is no audio file at all, only some words";
    const std::string empty = dir + "/empty.wav";
    std::ofstream(empty).close();
    const std::string noFrames = dir + "/noframes.wav";
    ASSERT_TRUE(WriteTones(noFrames, SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100, 2, 0, {}));
    const std::string silence = dir + "/silence.wav";
    ASSERT_TRUE(WriteTones(silence, SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100, 2, 2, {}));
    const std::string shortTone = dir + "/short.wav";
    ASSERT_TRUE(WriteTones(shortTone, SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100, 2, 2, {{1000, 0.5, -1}}));

    struct Case {
        const char* name;
        std::string path;   // empty with file: a null path
        int start;
        int length;
        int expected;
    };
    const Case cases[] = {
        {"no path", "", 0, 12, -1},
        {"missing file", dir + "/none.wav", 0, 12, -1},
        {"a folder", dir, 0, 12, -1},
        {"not audio", garbage, 0, 12, -2},
        {"empty file", empty, 0, 12, -2},
        {"header without frames", noFrames, 0, 12, 0},
        {"digital silence", silence, 0, 12, 0},
        {"window after the end", shortTone, 3, 12, 0},
        {"zero length", shortTone, 0, 0, 0},
        {"a later window", shortTone, 1, 12, 44 + SAMPLECUT_RATE * 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Cut fromFile;
        fromFile.sample = reinterpret_cast<unsigned char*>(&fromFile);   // must be reset
        fromFile.result = samplecut_from_file(c.path.empty() ? nullptr : c.path.c_str(), c.start, c.length,
                                              &fromFile.sample);
        EXPECT_EQ(fromFile.result, c.expected);
        if (fromFile.result <= 0) {
            EXPECT_EQ(fromFile.sample, nullptr);
        }

        // The same bytes from memory give the same class; what cannot be read
        // as a file is an empty buffer there.
        struct stat st {};
        const bool regular = !c.path.empty() && stat(c.path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
        const std::vector<char> bytes = regular ? ReadBytes(c.path) : std::vector<char>();
        Cut fromBuffer;
        fromBuffer.sample = reinterpret_cast<unsigned char*>(&fromBuffer);
        fromBuffer.result = samplecut_from_buffer(bytes.empty() ? nullptr : bytes.data(), bytes.size(), c.start,
                                                  c.length, &fromBuffer.sample);
        EXPECT_EQ(fromBuffer.result, bytes.empty() ? -1 : c.expected);
        if (fromBuffer.result <= 0) {
            EXPECT_EQ(fromBuffer.sample, nullptr);
        }
    }

    // A WAV image whose header asks for absurd memory is refused, not honoured.
    std::vector<unsigned char> crafted(44, 0);
    std::memcpy(crafted.data(), "RIFF\xff\xff\xff\x7fWAVEfmt \x10\0\0\0\x01\0\xff\x03", 24);
    const uint32_t rate = 0x7fffffff;
    std::memcpy(crafted.data() + 24, &rate, 4);
    std::memcpy(crafted.data() + 32, "\x02\0\x10\0data\xff\xff\xff\x7f", 12);
    crafted.resize(44 + 4096, 0x55);
    Cut cut;
    cut.result = samplecut_from_buffer(crafted.data(), crafted.size(), 0, 12, &cut.sample);
    EXPECT_LE(cut.result, 0);
    samplecut_free(nullptr);
}

}  // namespace
