#pragma once

#include <cstdio>

#include "ILogHandle.h"

// File output. The mode of the file ("w+" in the engine, "a+" in the program)
// comes from the build.
class ILogFile : public ILogHandle {
public:
    ILogFile();
    ~ILogFile() override;
    // Writes and flushes the line when a file is open; drops it otherwise.
    void Write(const char* line) override;
    // Closes any open file, then opens path. False (and no file) on failure.
    virtual bool Open(const char* path);
    virtual void Close();

private:
    // Set by Open and Close on the thread that starts or stops the log library,
    // read by Write on every logging thread; the log library's lock orders them.
    FILE* file;
};
