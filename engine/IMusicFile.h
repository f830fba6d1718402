#pragma once

#include "Sonacap.h"

// The engine's song writer: the processing thread opens one at the first music
// clip, writes every clip of the song into it and closes it when the song ends.
// Open throws CError when the file cannot be created; WriteData and Close
// report nothing. A second Close is harmless.
class IMusicFile : public CAudioBase {
public:
    ~IMusicFile() override;
    virtual void Open(const char* path, const AudioParam* format) = 0;
    virtual void WriteData(const void* data, unsigned size) = 0;
    // Writes tags into the finished file. The engine itself never calls it.
    virtual bool WriteTags(const char* path, const char* title, const char* artist) = 0;
    virtual void Close() = 0;

protected:
    IMusicFile();
};
