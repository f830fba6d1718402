// Generated audio files for the playback library's tests.
#pragma once

#include "trackhold.h"

#include <gtest/gtest.h>
#include <sndfile.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

namespace trackhold_test {

// Writes `seconds` of a 440 Hz stereo tone; format is a full libsndfile format
// (e.g. SF_FORMAT_WAV | SF_FORMAT_PCM_16). Returns false when it cannot be written.
inline bool WriteTone(const std::string& path, int format, int rate, double seconds)
{
    SF_INFO info{};
    info.samplerate = rate;
    info.channels = 2;
    info.format = format;
    SNDFILE* sf = sf_open(path.c_str(), SFM_WRITE, &info);
    if (!sf)
        return false;
    const long frames = static_cast<long>(seconds * rate);
    std::vector<float> buf(static_cast<size_t>(frames) * 2);
    for (long i = 0; i < frames; ++i) {
        const float v = 0.3f * static_cast<float>(std::sin(2.0 * M_PI * 440.0 * i / rate));
        buf[2 * i] = v;
        buf[2 * i + 1] = v;
    }
    const bool ok = sf_writef_float(sf, buf.data(), frames) == frames;
    sf_close(sf);
    return ok;
}

// A fresh temporary folder and an open playback library for every test;
// Base is ::testing::Test or a parameterised test.
template <class Base>
class TrackholdSession : public Base {
protected:
    void SetUp() override
    {
        char tmpl[] = "/tmp/trackhold-test-XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir = tmpl;
        WM_Create("trackhold-test");
    }
    void TearDown() override
    {
        WM_Destroy();
        std::error_code ignored;
        std::filesystem::remove_all(dir, ignored);
    }
    std::string dir;
};

}  // namespace trackhold_test
