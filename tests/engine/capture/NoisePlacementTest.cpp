#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "CMp3File.h"
#include "CaptureTestSupport.h"
#include "NoisePlacement.h"

// The capture tests' figures of lost and repeated sound come from this
// instrument; here it measures faults made on purpose, to the sample.
namespace {

constexpr int kRate = 44100;
using Pcm = std::vector<int16_t>;

size_t At(double seconds)
{
    return static_cast<size_t>(seconds * kRate) * 2;
}

size_t Span(double ms)
{
    return static_cast<size_t>(ms * kRate / 1000) * 2;
}

// Stereo PCM at another rate, by cubic interpolation (unlike the linear one
// the placement itself uses).
Pcm Resampled(const Pcm& in, int from, int to)
{
    const size_t frames = in.size() / 2;
    const auto out = static_cast<size_t>(static_cast<double>(frames) * to / from);
    auto sample = [&](long i, int c) {
        i = std::clamp(i, 0L, static_cast<long>(frames) - 1);
        return static_cast<double>(in[static_cast<size_t>(i) * 2 + static_cast<size_t>(c)]);
    };
    Pcm result(out * 2);
    for (size_t k = 0; k < out; ++k) {
        const double at = static_cast<double>(k) * from / to;
        const auto i = static_cast<long>(at);
        const double t = at - static_cast<double>(i);
        for (int c = 0; c < 2; ++c) {
            const double p0 = sample(i - 1, c), p1 = sample(i, c), p2 = sample(i + 1, c), p3 = sample(i + 2, c);
            const double v = p1 + 0.5 * t * (p2 - p0 + t * (2 * p0 - 5 * p1 + 4 * p2 - p3 + t * (3 * (p1 - p2) + p3 - p0)));
            result[k * 2 + static_cast<size_t>(c)] = static_cast<int16_t>(std::clamp(std::lrint(v), -32768L, 32767L));
        }
    }
    return result;
}

TEST(NoisePlacementTest, MeasuresEachFaultToTheSample)
{
    NoisePlacement source(7, 20, kRate, 2);
    NoisePlacement other(99, 2, kRate, 2);
    const Pcm song = source.Pcm(2, 8);  // program 2 s to 10 s

    struct Case {
        const char* what;
        std::function<Pcm()> make;
        double missing, repeated, silence, unplaced;
        double tolerance;  // ms
    };
    const Case cases[] = {
        {"whole", [&] { return song; }, 0, 0, 0, 0, 0.1},
        {"3 ms cut out",
         [&] {
             Pcm p = song;
             p.erase(p.begin() + At(3.0013), p.begin() + At(3.0013) + Span(3));
             return p;
         },
         3, 0, 0, 0, 0.1},
        {"20 ms recorded twice",
         [&] {
             Pcm p = song;
             Pcm again(p.begin() + At(5) - Span(20), p.begin() + At(5));
             p.insert(p.begin() + At(5), again.begin(), again.end());
             return p;
         },
         0, 20, 0, 0, 0.1},
        {"one 512-frame cycle of silence put in",
         [&] {
             Pcm p = song;
             p.insert(p.begin() + At(4.0001), 2 * 512, 0);
             return p;
         },
         0, 0, 512000.0 / kRate, 0, 0.1},
        {"10 ms of sound replaced by silence",
         [&] {
             Pcm p = song;
             std::fill(p.begin() + At(6), p.begin() + At(6) + Span(10), 0);
             return p;
         },
         10, 0, 10, 0, 0.1},
        {"half a second of another sound in place of the program's",
         [&] {
             Pcm p = song;
             const Pcm foreign = other.Pcm(0, 0.5);
             std::copy(foreign.begin(), foreign.end(), p.begin() + At(2));
             return p;
         },
         // Sound that is nowhere in the program is measured in whole windows.
         500, 0, 0, 500, 5.1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const NoisePlacement::Result r = source.Place(c.make(), kRate, 2);
        ASSERT_TRUE(r.placed);
        EXPECT_NEAR(r.firstMs, 2000, 0.1);
        EXPECT_NEAR(r.lastMs, 10000, 0.1);
        EXPECT_NEAR(r.missingMs, c.missing, c.tolerance) << r.Describe();
        EXPECT_NEAR(r.repeatedMs, c.repeated, c.tolerance) << r.Describe();
        EXPECT_NEAR(r.silenceMs, c.silence, c.tolerance) << r.Describe();
        EXPECT_NEAR(r.unplacedMs, c.unplaced, 2 * c.tolerance) << r.Describe();
    }
}

// Pauses of the program itself are no fault, wherever the recording cuts.
TEST(NoisePlacementTest, TheProgramsOwnSilenceIsNoFault)
{
    NoisePlacement source(3, 8, kRate, 2);
    source.SetSilence(3, 1);
    Pcm whole = source.Pcm();
    NoisePlacement::Result r = source.Place(whole, kRate, 2);
    EXPECT_EQ(r.Describe(), source.Place(whole, kRate, 2).Describe()) << "the same every time";
    EXPECT_EQ(r.jumps.size(), 0u) << r.Describe();
    EXPECT_NEAR(r.lastMs, 8000, 0.1);

    // A recording that skipped 200 ms of the pause lost no sound.
    Pcm shorter = source.Pcm(0, 3.8);
    const Pcm rest = source.Pcm(4);
    shorter.insert(shorter.end(), rest.begin(), rest.end());
    r = source.Place(shorter, kRate, 2);
    EXPECT_EQ(r.jumps.size(), 0u) << r.Describe();

    // A song that starts late is seen by where it starts, not as loss.
    r = source.Place(source.Pcm(5.25, 1), kRate, 2);
    EXPECT_NEAR(r.firstMs, 5250, 0.1);
    EXPECT_EQ(r.missingMs, 0);
}

// Songs as the engine writes them: MP3 at its lowest bit rate, or another
// rate than the program's.
TEST(NoisePlacementTest, PlacesMp3AndOtherRates)
{
    NoisePlacement source(11, 12, kRate, 2);
    TempFolder folder;
    Pcm song = source.Pcm(1, 6);
    song.erase(song.begin() + At(3), song.begin() + At(3) + Span(25));
    const std::string mp3 = folder.Path() + "song.mp3";
    {
        CMp3File file;
        file.SetRatio(128);
        const AudioParam format{kRate, 2, 16, 0, 4, 1, 0};
        file.Open(mp3.c_str(), &format);
        ASSERT_TRUE(file.WriteData(song.data(), static_cast<unsigned>(song.size() * sizeof(int16_t))));
        ASSERT_TRUE(file.Close());
    }
    NoisePlacement::Result r = source.PlaceFile(mp3);
    ASSERT_TRUE(r.placed);
    EXPECT_NEAR(r.firstMs, 1000, 0.5);
    EXPECT_NEAR(r.missingMs, 25, 0.5) << r.Describe();
    EXPECT_NEAR(r.repeatedMs, 0, 0.5) << r.Describe();
    EXPECT_FALSE(source.PlaceFile(folder.Path() + "missing.wav").placed);

    // The program as paplay plays it, and through an output of another rate.
    const std::string wav = folder.Path() + "song.wav";
    ASSERT_TRUE(source.WriteWav(wav, 2, 3));
    r = source.PlaceFile(wav);
    EXPECT_NEAR(r.firstMs, 2000, 0.1);
    EXPECT_NEAR(r.lastMs, 5000, 0.1);
    EXPECT_EQ(r.jumps.size(), 0u) << r.Describe();
    r = source.Place(Resampled(source.Pcm(2, 3), kRate, 48000), 48000, 2);
    EXPECT_NEAR(r.firstMs, 2000, 0.1);
    EXPECT_NEAR(r.lastMs, 5000, 0.1);
    EXPECT_EQ(r.jumps.size(), 0u) << r.Describe();
}

} // namespace
