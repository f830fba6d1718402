#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "Sonacap.h"

namespace coretest {

// A fresh folder below the system's temporary folder, removed with its content.
class TempDir {
public:
    TempDir();
    ~TempDir();
    const std::string& Path() const { return path; }
    // The folder with a trailing '/'.
    std::string Folder() const { return path + "/"; }

private:
    std::string path;
};

AudioParam Format(int rate, int channels, int bits);

// A test-name part made of letters, digits and '_' only.
std::string NamePart(const std::string& text);

// Interleaved PCM of `ms` milliseconds in the given format: a tone at `hz`
// with peak `level` (0..1 of full scale), or digital silence when level is 0.
std::vector<unsigned char> Tone(const AudioParam& format, unsigned ms, double hz, double level,
                                double* phase = nullptr);

std::vector<unsigned char> ReadFile(const std::string& path);
bool FileExists(const std::string& path);
std::vector<std::string> ListFolder(const std::string& folder);

// Runs a program with an argument vector; its standard output (and with
// `errorsToo` its standard error) is returned and its exit status stored (-1
// when it did not end normally).
std::string RunCapture(const std::vector<std::string>& args, int* status, bool errorsToo = false);

struct ProbeResult {
    int sampleRate = 0;
    int channels = 0;
    long bitRate = 0;
    double duration = 0;
    std::string codec;
};
ProbeResult Probe(const std::string& path);

// Decodes a sound file to mono 16-bit samples with ffmpeg.
std::vector<int16_t> DecodeMono(const std::string& path);
// What ffmpeg reports while it decodes the whole file ("" when it decodes cleanly).
std::string DecodeErrors(const std::string& path);
// Whether an MPEG-1 Layer III file, after its ID3v2 tag, is whole frames to
// its very last byte.
bool EndsOnWholeFrame(const std::string& path);
double Rms(const std::vector<int16_t>& samples);

// The raw PCM bytes of a WAV file as libsndfile reads them.
std::vector<unsigned char> WavData(const std::string& path, int* rate = nullptr, int* channels = nullptr,
                                   int* format = nullptr);

}  // namespace coretest
