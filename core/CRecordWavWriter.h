#pragma once

// Writes the recognition capture of a multi-channel song to a PCM WAV file and,
// on closing, down-mixes it to two channels with ffmpeg so recognition always
// gets at most two channels. Used from the engine's thread only.

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

    // Creates `path` (local 8-bit encoding) and writes the 46-byte header.
    // False when the file cannot be created (later calls then do nothing).
    bool Open(const char* path, const AudioParam* format);
    void Write(const void* data, uint32_t length);
    // Finishes the header and, for more than two channels, replaces the file
    // by ffmpeg's two-channel version. The original stays where it was when
    // ffmpeg is missing, fails or times out. False when the down-mix failed.
    bool Close();

    bool IsMultiChannel() const { return multiChannel; }

    // Seams: the program run for the down-mix ("ffmpeg" from the search path)
    // and how long it may take (milliseconds).
    void SetFfmpegProgram(const QString& program) { ffmpegProgram = program; }
    void SetDownmixTimeout(int milliseconds) { downmixTimeoutMs = milliseconds; }

private:
    bool Downmix();

    bool multiChannel = false;
    std::string path;
    FILE* file = nullptr;
    AudioParam format{};
    uint32_t dataCount = 0;

    QString ffmpegProgram;
    int downmixTimeoutMs;
};
