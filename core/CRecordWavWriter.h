#pragma once

// Writes the recognition capture of a multi-channel song to a PCM WAV file and,
// on closing, down-mixes it to two channels with ffmpeg so recognition always
// gets at most two channels. Used from the engine's thread only.
//
// The capture lies beside the songs, where the start takes in every song file
// no row names: until it is complete it is written, and down-mixed, under
// hidden names (the start passes hidden files by), so a program ended midway
// leaves nothing there that looks like a song.

#include "Sonacap.h"

#include <QString>
#include <cstdint>
#include <cstdio>
#include <string>

class CRecordWavWriter {
public:
    CRecordWavWriter();
    ~CRecordWavWriter();
    CRecordWavWriter(const CRecordWavWriter&) = delete;
    CRecordWavWriter& operator=(const CRecordWavWriter&) = delete;

    // Starts the capture for `path` (local 8-bit encoding) with the 46-byte
    // header, under a hidden name beside it; a leftover of an earlier capture
    // for `path` goes. False when the file cannot be created (later calls
    // then do nothing).
    bool Open(const char* path, const AudioParam* format);
    void Write(const void* data, uint32_t length);
    // Finishes the header and puts the capture at `path`: for more than two
    // channels ffmpeg's two-channel version of it, or the capture itself when
    // ffmpeg is missing, fails or times out. False when the down-mix failed
    // or the file could not be put in place.
    bool Close();

    // The hidden names the capture for `path` has while it is written and
    // while it is down-mixed.
    static QString WorkingName(const QString& path);
    static QString DownmixName(const QString& path);

    bool IsMultiChannel() const { return multiChannel; }

    // Seams: the program run for the down-mix ("ffmpeg" from the search path)
    // and how long it may take (milliseconds).
    void SetFfmpegProgram(const QString& program) { ffmpegProgram = program; }
    void SetDownmixTimeout(int milliseconds) { downmixTimeoutMs = milliseconds; }

private:
    bool Downmix(const QString& source, const QString& target);

    bool multiChannel = false;
    std::string path;
    std::string workingPath;   // where the capture is written until Close
    FILE* file = nullptr;
    AudioParam format{};
    uint32_t dataCount = 0;

    QString ffmpegProgram;
    int downmixTimeoutMs;
};
