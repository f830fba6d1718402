#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include "RateFold.h"
#include "Sonacap.h"

namespace {

struct Seen {
    int event = -1;
    void* data = nullptr;
    int size = 0;
    AudioParam param{};
    std::vector<int16_t> samples;
};
std::vector<Seen> seen;

void Target(int event, void* data, int size, void*)
{
    Seen s;
    s.event = event;
    s.data = data;
    s.size = size;
    if (event == 0 && data)
        s.param = *static_cast<AudioParam*>(data);
    if ((event == 2 || event == 3) && data)
        s.samples.assign(static_cast<int16_t*>(data), static_cast<int16_t*>(data) + size / 2);
    seen.push_back(s);
}

TEST(RateFoldTest, IntegerEventsPassUnchanged)
{
    seen.clear();
    int user = 0;
    AudioParam p{48000, 2, 16, 0, 4, 1, 0};
    int16_t pcm[4] = {1, -2, 3000, -32768};
    Channel_Convert(Target, 0, &p, sizeof p, &user);
    Channel_Convert(Target, 2, pcm, sizeof pcm, &user);
    Channel_Convert(Target, 3, pcm, sizeof pcm, &user);
    Channel_Convert(Target, 7, nullptr, 0, &user);
    ASSERT_EQ(seen.size(), 4u);
    EXPECT_EQ(seen[0].data, &p);
    EXPECT_EQ(seen[1].data, pcm);
    EXPECT_EQ(seen[1].size, static_cast<int>(sizeof pcm));
    EXPECT_EQ(seen[2].event, 3);
    EXPECT_EQ(seen[3].event, 7);
    EXPECT_EQ(seen[3].data, nullptr);
}

TEST(RateFoldTest, FloatStreamIsFoldedTo16Bit)
{
    seen.clear();
    int user = 0, other = 0;
    AudioParam p{44100, 2, 32, 0, 8, 3, 0};
    Channel_Convert(Target, 0, &p, sizeof p, &user);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].param.bitsPerSample, 16);
    EXPECT_EQ(seen[0].param.blockAlign, 4);
    EXPECT_EQ(seen[0].param.formatTag, 1);
    EXPECT_EQ(seen[0].param.samplesPerSec, 44100);
    EXPECT_EQ(p.bitsPerSample, 32) << "the caller's record is left alone";

    const float in[] = {0.0f, 0.5f, -0.5f, 1.0f, -1.0f, 2.0f, -3.0f, std::numeric_limits<float>::quiet_NaN()};
    Channel_Convert(Target, 2, const_cast<float*>(in), sizeof in, &user);
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[1].size, 16);
    EXPECT_EQ(seen[1].samples, (std::vector<int16_t>{0, 16384, -16384, 32767, -32767, 32767, -32768, 0}));

    // Another capture that announced integers is not folded.
    AudioParam q{44100, 1, 16, 0, 2, 1, 0};
    Channel_Convert(Target, 0, &q, sizeof q, &other);
    int16_t pcm[2] = {5, 6};
    Channel_Convert(Target, 2, pcm, sizeof pcm, &other);
    EXPECT_EQ(seen.back().data, pcm);

    // A new integer announcement ends folding for the first capture too.
    AudioParam r{44100, 2, 16, 0, 4, 1, 0};
    Channel_Convert(Target, 0, &r, sizeof r, &user);
    Channel_Convert(Target, 2, pcm, sizeof pcm, &user);
    EXPECT_EQ(seen.back().data, pcm);
}

} // namespace
