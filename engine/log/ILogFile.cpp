#include "ILogFile.h"

#include "LogBuild.h"

ILogFile::ILogFile() : file(nullptr) {}

ILogFile::~ILogFile()
{
    Close();
}

void ILogFile::Write(const char* line)
{
    if (!line || !file)
        return;
    // One fprintf per line (stdio locks the stream for the call), then flush,
    // so a crash loses nothing already logged.
    fprintf(file, "%s", line);
    fflush(file);
}

bool ILogFile::Open(const char* path)
{
    Close();
    if (!path)
        return false;
    FILE* f = fopen(path, kLogFileMode);
    if (!f)
        return false;
    file = f;
    return true;
}

void ILogFile::Close()
{
    if (!file)
        return;
    fflush(file);
    fclose(file);
    file = nullptr;
}
