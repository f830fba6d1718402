#include "ILogWriter.h"

#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>

#include "ILogHandle.h"
#include "LogBuild.h"
#include "LogThreadRegistry.h"

namespace {

const char* BaseName(const char* path)
{
    if (!path)
        return "";
    const char* cut = path;
    for (const char* p = path; *p; ++p) {
        if (*p == '/' || *p == '\\')
            cut = p + 1;
    }
    return cut;
}

const char* OrEmpty(const char* text)
{
    return text ? text : "";
}

} // namespace

ILogWriter::ILogWriter(ILogHandle* handle, const char* name, int level)
    : level(level), handle(handle), name(nullptr)
{
    const char* source = OrEmpty(name);
    size_t size = strlen(source) + 1;
    this->name = new char[size];
    memcpy(this->name, source, size);
}

ILogWriter::~ILogWriter()
{
    delete[] name;
}

void ILogWriter::Track(const char* file, const char* function, int line, const char* text)
{
    Emit("%s TRACK\t[%s:%s][%s@%d] %s\n", file, function, line, text);
}

void ILogWriter::Info(const char* file, const char* function, int line, const char* text)
{
    if (level <= 1)
        Emit("%s INFO\t[%s:%s][%s@%d] %s\n", file, function, line, text);
}

void ILogWriter::Error(const char* file, const char* function, int line, const char* text)
{
    if (level <= 3)
        Emit("%s ERROR\t[%s:%s][%s@%d] %s\n", file, function, line, text);
}

void ILogWriter::Warning(const char* file, const char* function, int line, const char* text)
{
    if (level <= 2)
        Emit("%s Warning[%s:%s][%s@%d] %s\n", file, function, line, text);
}

void ILogWriter::Debug(const char* file, const char* function, int line, const char* text)
{
    if (level <= 0)
        Emit("%s DEBUG\t[%s:%s][%s@%d] %s\n", file, function, line, text);
}

void ILogWriter::Emit(const char* format, const char* file, const char* function, int line, const char* text)
{
    if (!handle)
        return;
    char when[64] = "";
    time_t now = time(nullptr);
    struct tm local;
    if (localtime_r(&now, &local))
        strftime(when, sizeof when, "%X", &local);

    std::string thread = CurrentLogThreadName();

    // Per-call buffer: a line longer than the buffer is cut but keeps its
    // newline, so the file never holds a torn or run-together entry.
    char buf[kLogLineSize];
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
    int n = snprintf(buf, sizeof buf, format, when, BaseName(file), thread.c_str(),
                     OrEmpty(function), line, OrEmpty(text));
#pragma GCC diagnostic pop
    if (n < 0)
        return;
    if (static_cast<size_t>(n) >= sizeof buf)
        buf[sizeof buf - 2] = '\n';
    handle->Write(buf);
}
