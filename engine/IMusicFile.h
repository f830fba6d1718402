#pragma once

#include <string>

#include "Sonacap.h"

// The engine's song writer: the processing thread opens one at the first music
// clip, writes every clip of the song into it and closes it when the song ends.
// Open throws CError when the file cannot be created. A second Close is
// harmless.
class IMusicFile : public CAudioBase {
public:
    ~IMusicFile() override;
    virtual void Open(const char* path, const AudioParam* format) = 0;
    // False once a write of the open song failed. From then on nothing more
    // is written to it (a song never gets a hole when space comes back): the
    // file keeps what reached the disk before, and closes as a valid file.
    virtual bool WriteData(const void* data, unsigned size) = 0;
    // Writes tags into the finished file. The engine itself never calls it.
    virtual bool WriteTags(const char* path, const char* title, const char* artist) = 0;
    // Finishes the file. False when a write of the song failed, here (its
    // last buffered bytes) or before.
    virtual bool Close() = 0;
    // The errno of the first failed write of the open song, or of the song
    // closed last (or of a failed Open); 0 when none failed.
    virtual int WriteError() const = 0;
    // Where the song closed last is on disk: the path it was opened with,
    // unless the writer had to keep it in another format under another name.
    virtual std::string ClosedPath() const = 0;

protected:
    IMusicFile();
};
