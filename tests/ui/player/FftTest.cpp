// The fixed-length FFT against a direct DFT and the textbook inputs.
#include "FFTRealFixLen.h"
#include "FFTRealWrapper.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

namespace {

constexpr int N = 2048;

// Direct DFT in double precision, packed in the transform's output layout.
std::vector<double> DirectDft(const std::vector<float>& in)
{
    std::vector<double> out(N);
    for (int k = 0; k <= N / 2; ++k) {
        double re = 0.0;
        double im = 0.0;
        for (int n = 0; n < N; ++n) {
            const double a = -2.0 * M_PI * static_cast<double>(k) * n / N;
            re += in[n] * std::cos(a);
            im += in[n] * std::sin(a);
        }
        out[k] = re;
        if (k >= 1 && k < N / 2)
            out[N / 2 + k] = -im;
    }
    return out;
}

std::vector<float> Transform(const std::vector<float>& in)
{
    FFTRealWrapper fft;
    std::vector<float> out(N, 12345.0f);
    fft.calculateFFT(out.data(), in.data());
    return out;
}

TEST(FftTest, MatchesDirectDftOnMixedSignals)
{
    std::mt19937 rng(7);
    std::uniform_real_distribution<float> noise(-1.0f, 1.0f);
    std::vector<std::vector<float>> inputs;
    std::vector<float> random(N);
    for (float& v : random)
        v = noise(rng);
    inputs.push_back(random);
    std::vector<float> tones(N);
    for (int n = 0; n < N; ++n)
        tones[n] = static_cast<float>(0.5 * std::sin(2 * M_PI * 3.3 * n / N) + 0.25 * std::cos(2 * M_PI * 700 * n / N) + 0.1);
    inputs.push_back(tones);
    std::vector<float> impulse(N, 0.0f);
    impulse[17] = 1.0f;
    inputs.push_back(impulse);

    for (size_t c = 0; c < inputs.size(); ++c) {
        SCOPED_TRACE(c);
        const std::vector<double> want = DirectDft(inputs[c]);
        const std::vector<float> got = Transform(inputs[c]);
        double peak = 1.0;
        for (double v : want)
            peak = std::max(peak, std::fabs(v));
        for (int k = 0; k < N; ++k)
            ASSERT_NEAR(got[k], want[k], 1e-4 * peak + 1e-3) << "index " << k;
    }
}

TEST(FftTest, TextbookInputs)
{
    struct Case {
        const char* name;
        double (*sample)(int);
        int peakIndex;    // -1: no peak
        double peakValue;
    };
    const Case cases[] = {
        {"zeros", [](int) { return 0.0; }, -1, 0.0},
        {"ones", [](int) { return 1.0; }, 0, 2048.0},
        {"cos5", [](int n) { return std::cos(2 * M_PI * 5 * n / N); }, 5, 1024.0},
        {"sin5", [](int n) { return std::sin(2 * M_PI * 5 * n / N); }, 1029, 1024.0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<float> in(N);
        for (int n = 0; n < N; ++n)
            in[n] = static_cast<float>(c.sample(n));
        const std::vector<float> out = Transform(in);
        for (int k = 0; k < N; ++k) {
            const double want = k == c.peakIndex ? c.peakValue : 0.0;
            ASSERT_NEAR(out[k], want, 2e-3) << "index " << k;
        }
    }
}

TEST(FftTest, TablesAndReuse)
{
    FFTRealFixLen fft;
    EXPECT_EQ(fft.BitReverseEntry(0), 0);
    EXPECT_EQ(fft.BitReverseEntry(1), 256);
    EXPECT_EQ(fft.BitReverseEntry(2), 128);
    EXPECT_EQ(fft.BitReverseEntry(511), 511);
    EXPECT_FLOAT_EQ(fft.CosEntry(0), 1.0f);
    EXPECT_NEAR(fft.CosEntry(256), std::sqrt(0.5), 1e-7);

    // The same instance gives the same answer on every call: nothing is left
    // over in the work buffer.
    std::vector<float> in(N);
    for (int n = 0; n < N; ++n)
        in[n] = static_cast<float>((n * 37 % 101) - 50) / 50.0f;
    std::vector<float> a(N);
    std::vector<float> b(N);
    fft.DoFFT(a.data(), in.data());
    fft.DoFFT(b.data(), in.data());
    EXPECT_EQ(a, b);
}

}  // namespace
