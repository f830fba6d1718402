#pragma once

// Measures what a recording lost, repeated or gained against the sound that
// was played: a known pink-noise program (seeded, so every run plays the same)
// and the placement of a recording in it.
//
// Every short window (about 5 ms) of the recording is found in the program by
// cross-correlation, to the sample. Between two placed windows the program
// moved on by as much as the recording did, or it did not:
//   - the program moved further: its sound in between is missing;
//   - the recording holds more sound than the program moved on: repeated;
//   - the recording holds silence the program does not have: inserted.
// So a cut of 3 ms in the middle of a song is seen as 3 ms missing, not hidden
// in a file's length.
//
// The program is pink noise (spectrum like music's, loud at every moment) on
// every channel alike, optionally with stretches of silence (pauses between
// songs). Place accepts any rate (the recording is brought to the program's)
// and any channel count (the channels are averaged); MP3 is placed as well as
// WAV. Not thread-safe: one object per test.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class NoisePlacement {
public:
    // Where the recording does not follow the program.
    struct Jump {
        double atMs = 0;        // recording time where it happens
        double sourceMs = 0;    // program time the recording goes on from
        double missingMs = 0;   // program sound not recorded
        double repeatedMs = 0;  // program sound recorded again
        double silenceMs = 0;   // silence the program does not have
    };

    struct Result {
        bool placed = false;     // some of the recording was found in the program
        double recordingMs = 0;  // length of the recording
        double firstMs = 0;      // program time where the placed sound starts
        double lastMs = 0;       // program time where the placed sound ends
        double missingMs = 0;    // sums over every jump
        double repeatedMs = 0;
        double silenceMs = 0;
        double largestMissingMs = 0;  // the largest single jump of each kind
        double largestRepeatedMs = 0;
        double largestSilenceMs = 0;
        double unplacedMs = 0;   // sound that is nowhere in the program
        std::vector<Jump> jumps;
        // One line for test messages and logs.
        std::string Describe() const;
    };

    // `seconds` of pink noise from `seed`, at `rate` on `channels` channels.
    NoisePlacement(uint32_t seed, double seconds, int rate = 44100, int channels = 2);
    ~NoisePlacement();
    NoisePlacement(const NoisePlacement&) = delete;
    NoisePlacement& operator=(const NoisePlacement&) = delete;

    int Rate() const { return rate; }
    int Channels() const { return channels; }
    double Seconds() const;

    // Makes a stretch of the program silent (a pause between songs).
    void SetSilence(double fromSeconds, double seconds);

    // Interleaved 16-bit PCM of the program from `fromSeconds` on, `seconds`
    // long (to the end when negative); clamped to the program.
    std::vector<int16_t> Pcm(double fromSeconds = 0, double seconds = -1) const;
    // The same as a 16-bit WAV file, for players such as paplay.
    bool WriteWav(const std::string& path, double fromSeconds = 0, double seconds = -1) const;

    Result Place(const std::vector<int16_t>& interleaved, int recordingRate, int recordingChannels) const;
    Result Place(const std::vector<float>& interleaved, int recordingRate, int recordingChannels) const;
    // A WAV or MP3 file; nothing placed when it cannot be read.
    Result PlaceFile(const std::string& path) const;

private:
    struct Search;
    Result PlaceMono(std::vector<double> mono, int recordingRate) const;

    int rate;
    int channels;
    std::vector<float> program;  // mono, -1..1
    // The correlation's view of the program, made at the first placement.
    mutable std::unique_ptr<Search> search;
};
