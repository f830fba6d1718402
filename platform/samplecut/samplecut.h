// samplecut: cuts the first seconds of a song into a small WAV sample that a
// recognition service can take as audio: mono, 16-bit PCM, SAMPLECUT_RATE Hz.
//
// Any format libsndfile decodes goes in (WAV, MP3, FLAC, ...), as a file or as
// the complete bytes of a file held in memory. Channels are averaged, and the
// rate is converted with a band-limited (windowed-sinc) interpolator, so that
// nothing above the new Nyquist frequency folds back into the sample.
//
// Results of both cut functions:
//   > 0  the sample's length in bytes; *sample points at a buffer of that many
//        bytes (a whole WAV file) that the caller releases with samplecut_free;
//     0  no usable audio (no frames in the window, or digital silence);
//    -1  the audio cannot be read (no such file, not a regular file, no
//        permission; a null or empty buffer);
//    -2  the audio cannot be decoded (not a format libsndfile knows, or a
//        header it refuses).
// On every result other than > 0, *sample is left null.
//
// The functions keep no state: any thread may call them at any time.
#pragma once

#include <cstddef>

extern "C" {

enum { SAMPLECUT_RATE = 8000 };

int samplecut_from_file(const char* path, int startSeconds, int lengthSeconds, unsigned char** sample);
int samplecut_from_buffer(const void* data, size_t size, int startSeconds, int lengthSeconds,
                          unsigned char** sample);
// Releases a sample; a null pointer is accepted.
void samplecut_free(unsigned char* sample);

}  // extern "C"
