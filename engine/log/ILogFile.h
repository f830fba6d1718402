#pragma once

#include <cstdio>
#include <mutex>
#include <string>

#include "ILogHandle.h"

// File output. The mode of the file ("w+" in the engine, "a+" in the program)
// comes from the build.
//
// The file is bounded (the limit is the build's, LogBuild.h): once a file
// reaches it, it is moved to "<path>.1" (replacing an older one) and a new
// file is started, so the log never holds much more than twice the limit.
class ILogFile : public ILogHandle {
public:

    ILogFile();
    ~ILogFile() override;
    // Writes and flushes the line when a file is open; drops it otherwise.
    void Write(const char* line) override;
    // Closes any open file, then opens path. False (and no file) on failure.
    virtual bool Open(const char* path);
    virtual void Close();
    // Bytes after which the file is moved aside; 0 means no limit. The
    // build's limit until set.
    void SetSizeLimit(long bytes);

private:
    void Rotate();

    // Guards every field: Open and Close come from the thread that starts or
    // stops the log library, Write from every logging thread, and a rotation
    // replaces `file` under the writers' feet.
    std::mutex lock;
    FILE* file;
    std::string path;
    long written;  // size of the open file
    long sizeLimit;
};
