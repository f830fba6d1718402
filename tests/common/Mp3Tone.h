#pragma once

// A stereo 44.1 kHz tone as a plain MP3 (no tag), made with LAME. Header only:
// the test that includes it links lame itself.

#include <QByteArray>

#include <cmath>
#include <vector>

#include <lame/lame.h>

inline QByteArray Mp3Tone(double seconds)
{
    const int rate = 44100;
    const int frames = static_cast<int>(rate * seconds);
    std::vector<short> pcm(static_cast<size_t>(frames) * 2);
    for (int i = 0; i < frames; ++i)
        pcm[2 * i] = pcm[2 * i + 1] = static_cast<short>(6000 * std::sin(i * 0.05));
    lame_t lame = lame_init();
    lame_set_in_samplerate(lame, rate);
    lame_set_num_channels(lame, 2);
    lame_set_write_id3tag_automatic(lame, 0);
    lame_init_params(lame);
    // LAME's worst case: 1.25 x samples + 7200 bytes.
    QByteArray out(frames * 2 + 20000, 0);
    auto* buf = reinterpret_cast<unsigned char*>(out.data());
    int n = lame_encode_buffer_interleaved(lame, pcm.data(), frames, buf, out.size());
    n += lame_encode_flush(lame, buf + n, out.size() - n);
    lame_close(lame);
    out.resize(n);
    return out;
}
