#include "ILogFile.h"

#include "LogBuild.h"

ILogFile::ILogFile() : file(nullptr), written(0), sizeLimit(kLogFileSizeLimit) {}

ILogFile::~ILogFile()
{
    Close();
}

void ILogFile::Write(const char* line)
{
    if (!line)
        return;
    std::lock_guard<std::mutex> guard(lock);
    if (!file)
        return;
    // One fprintf per line, then flush, so a crash loses nothing already logged.
    const int n = fprintf(file, "%s", line);
    fflush(file);
    if (n > 0)
        written += n;
    if (sizeLimit > 0 && written >= sizeLimit)
        Rotate();
}

void ILogFile::Rotate()
{
    fclose(file);
    file = nullptr;
    // A failed move leaves the old file in place; it is then started over.
    rename(path.c_str(), (path + ".1").c_str());
    file = fopen(path.c_str(), "w+");
    written = 0;
}

bool ILogFile::Open(const char* newPath)
{
    Close();
    if (!newPath)
        return false;
    FILE* f = fopen(newPath, kLogFileMode);
    if (!f)
        return false;
    std::lock_guard<std::mutex> guard(lock);
    file = f;
    path = newPath;
    // An appended file already holds what earlier runs wrote.
    written = fseek(f, 0, SEEK_END) == 0 ? ftell(f) : 0;
    if (written < 0)
        written = 0;
    return true;
}

void ILogFile::Close()
{
    std::lock_guard<std::mutex> guard(lock);
    if (!file)
        return;
    fflush(file);
    fclose(file);
    file = nullptr;
}

void ILogFile::SetSizeLimit(long bytes)
{
    std::lock_guard<std::mutex> guard(lock);
    sizeLimit = bytes;
}
