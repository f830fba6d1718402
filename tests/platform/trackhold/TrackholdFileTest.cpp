// Opening and measuring files, and the failure paths that need no sound output.
#include "TrackholdFixtures.h"
#include "trackhold.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

namespace {

using TrackholdFileTest = trackhold_test::TrackholdSession<::testing::Test>;

TEST_F(TrackholdFileTest, DurationOfGeneratedFiles)
{
    struct Case {
        const char* name;
        int format;
        int rate;
        double seconds;
        int64_t expectMs;
        int64_t toleranceMs;
    };
    // WAV lengths are exact; an MP3 carries encoder delay and padding, so its
    // decoded length may differ by a couple of frames of 1152 samples.
    const Case cases[] = {
        {"a.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100, 2.5, 2500, 0},
        {"b.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 48000, 1.0, 1000, 0},
        {"c.mp3", SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III, 44100, 3.0, 3000, 100},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = dir + "/" + c.name;
        ASSERT_TRUE(trackhold_test::WriteTone(path, c.format, c.rate, c.seconds));
        const int id = WM_AddFile(path.c_str());
        ASSERT_GE(id, 0);
        int64_t ms = -7;
        EXPECT_EQ(WM_GetMediaDuration(id, &ms), 0);
        EXPECT_NEAR(static_cast<double>(ms), static_cast<double>(c.expectMs), static_cast<double>(c.toleranceMs));
        EXPECT_EQ(WM_DeleteFile(id), 0);
        // The file itself stays where it was.
        std::ifstream still(path);
        EXPECT_TRUE(still.good());
    }
}

// Frames the decoder delivers when it reads the whole file.
int64_t DecodedFrames(const std::string& path, int* rate)
{
    SF_INFO info{};
    SNDFILE* sf = sf_open(path.c_str(), SFM_READ, &info);
    if (!sf)
        return -1;
    *rate = info.samplerate;
    std::vector<float> buf(4096 * static_cast<size_t>(info.channels));
    int64_t total = 0;
    sf_count_t n;
    while ((n = sf_readf_float(sf, buf.data(), 4096)) > 0)
        total += n;
    sf_close(sf);
    return total;
}

// The recorder writes MP3s without a LAME/Xing tag, for which the stored
// length is only an estimate from the file size; the duration must still be
// what playing the file gives, to the sample.
TEST_F(TrackholdFileTest, Mp3DurationIsWhatDecodingGives)
{
    const std::string wav = dir + "/tone.wav";
    ASSERT_TRUE(trackhold_test::WriteTone(wav, SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100, 7.3));
    const std::string tagged = dir + "/tagged.mp3";
    ASSERT_TRUE(trackhold_test::WriteTone(tagged, SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III, 44100, 7.3));
    const std::string untagged = dir + "/untagged.mp3";
    const std::string lame = "lame --quiet -t -b 192 '" + wav + "' '" + untagged + "' 2>/dev/null";
    std::vector<std::string> paths{tagged};
    if (std::system(lame.c_str()) == 0)
        paths.push_back(untagged);
    else
        ADD_FAILURE() << "lame is missing: the untagged case was not checked";

    for (const std::string& path : paths) {
        SCOPED_TRACE(path);
        int rate = 0;
        const int64_t frames = DecodedFrames(path, &rate);
        ASSERT_GT(frames, 0);
        const int id = WM_AddFile(path.c_str());
        ASSERT_GE(id, 0);
        int64_t ms = -1;
        EXPECT_EQ(WM_GetMediaDuration(id, &ms), 0);
        EXPECT_EQ(ms, frames * 1000 / rate);
        WM_DeleteFile(id);
    }
}

TEST_F(TrackholdFileTest, UnreadableFilesAreNegativeIds)
{
    const std::string garbage = dir + "/garbage.mp3";
    {
        std::ofstream out(garbage, std::ios::binary);
        out << "this is not audio at all, just some text bytes";
    }
    const std::string empty = dir + "/empty.wav";
    { std::ofstream out(empty, std::ios::binary); }

    for (const std::string& path : {dir + "/missing.wav", garbage, empty, std::string()}) {
        SCOPED_TRACE(path);
        EXPECT_LT(WM_AddFile(path.c_str()), 0);
    }
    EXPECT_LT(WM_AddFile(nullptr), 0);
}

TEST_F(TrackholdFileTest, UnknownIdsAndMissingPlayerFailCleanly)
{
    int64_t ms = 1234;
    EXPECT_LT(WM_GetMediaDuration(42, &ms), 0);
    EXPECT_EQ(ms, 1234) << "a failed query leaves the output alone";
    EXPECT_LT(WM_DeleteFile(-1), 0);
    EXPECT_LT(WM_CreatePlay(99, nullptr, nullptr), 0);
    EXPECT_LT(WM_Play(), 0);
    EXPECT_LT(WM_Pause(), 0);
    EXPECT_LT(WM_SeekTo(5000), 0);
    EXPECT_EQ(WM_ChangeVolume(50), 0);
    EXPECT_EQ(WM_DestroyPlay(), 0);
}

TEST_F(TrackholdFileTest, IdsAreDistinctAndReleasedByDestroy)
{
    const std::string path = dir + "/a.wav";
    ASSERT_TRUE(trackhold_test::WriteTone(path, SF_FORMAT_WAV | SF_FORMAT_PCM_16, 8000, 0.2));
    const int a = WM_AddFile(path.c_str());
    const int b = WM_AddFile(path.c_str());
    ASSERT_GE(a, 0);
    ASSERT_GE(b, 0);
    EXPECT_NE(a, b);
    EXPECT_EQ(WM_DeleteFile(a), 0);
    EXPECT_LT(WM_DeleteFile(a), 0);
    WM_Destroy();
    int64_t ms = 0;
    EXPECT_LT(WM_GetMediaDuration(b, &ms), 0);
}

TEST_F(TrackholdFileTest, NoSoundServerMeasuresButCannotPlay)
{
    const std::string path = dir + "/a.wav";
    ASSERT_TRUE(trackhold_test::WriteTone(path, SF_FORMAT_WAV | SF_FORMAT_PCM_16, 22050, 1.0));
    const char* old = std::getenv("PULSE_SERVER");
    const std::string saved = old ? old : "";
    setenv("PULSE_SERVER", ("unix:" + dir + "/no-such-server").c_str(), 1);

    const int id = WM_AddFile(path.c_str());
    ASSERT_GE(id, 0);
    int64_t ms = 0;
    EXPECT_EQ(WM_GetMediaDuration(id, &ms), 0);
    EXPECT_EQ(ms, 1000);
    EXPECT_NE(WM_CreatePlay(id, nullptr, nullptr), 0);
    EXPECT_LT(WM_Play(), 0);

    if (old)
        setenv("PULSE_SERVER", saved.c_str(), 1);
    else
        unsetenv("PULSE_SERVER");
}

std::vector<std::pair<std::string, long long>> g_calls;
void Record(const char* call, long long argument)
{
    g_calls.emplace_back(call, argument);
}

TEST_F(TrackholdFileTest, TraceHookSeesCallsInOrder)
{
    g_calls.clear();
    WM_SetTraceHook(Record);
    WM_SeekTo(700);
    WM_ChangeVolume(40);
    WM_DestroyPlay();
    WM_DeleteFile(3);
    WM_SetTraceHook(nullptr);
    WM_Destroy();
    const std::vector<std::pair<std::string, long long>> expected = {
        {"WM_SeekTo", 700}, {"WM_ChangeVolume", 40}, {"WM_DestroyPlay", 0}, {"WM_DeleteFile", 3}};
    EXPECT_EQ(g_calls, expected);
}

}  // namespace
