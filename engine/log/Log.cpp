#include "Log.h"

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include "CLogSimpleManager.h"
#include "CSectionGuard.h"
#include "CSectionLock.h"
#include "EngineUtils.h"
#include "ILogWriter.h"
#include "LogBuild.h"
#include "LogThreadRegistry.h"

namespace {

// The library's state. Init and Release run on whichever thread starts or stops
// the library; every log call reads the manager. All of it is guarded by the
// lock, which is held while an entry is written so a release cannot free the
// writer under a logging thread.
struct LogState {
    CSectionLock lock;
    CLogSimpleManager* manager = nullptr;
    int count = 0;
};

// Never destroyed: threads and static destructors may log until the very end.
LogState& State()
{
    static LogState* state = new LogState;
    return *state;
}

bool IsSeparator(char c)
{
    return c == '/' || c == '\\';
}

// Creates every missing level of the folder. 0 on success, -1 when a level
// cannot be created (the walk stops there).
int CreateFolderLevels(const std::string& folder)
{
    std::string path = folder;
    if (path.empty())
        return 0;
    if (!IsSeparator(path.back()))
        path += '/';
    for (size_t i = 1; i < path.size(); ++i) {
        if (!IsSeparator(path[i]))
            continue;
        std::string level = path.substr(0, i);
        if (access(level.c_str(), F_OK) == 0)
            continue;
        if (mkdir(level.c_str(), 0755) != 0 && errno != EEXIST) {
            fprintf(stderr, "log: cannot create folder \"%s\": %s\n", level.c_str(), strerror(errno));
            return -1;
        }
    }
    return 0;
}

#if defined(SONACAP_LOG_PROGRAM_BUILD)
// Whether `file` is one of this log's own dated files: "YYYY_MM_DD_<name>.log".
bool IsOwnDatedLog(const std::string& file, const std::string& name)
{
    static const char kPattern[] = "dddd_dd_dd_";
    const size_t prefix = sizeof kPattern - 1;
    if (file.size() != prefix + name.size() + 4 || file.compare(prefix, name.size(), name) != 0 ||
        file.compare(file.size() - 4, 4, ".log") != 0)
        return false;
    for (size_t i = 0; i < prefix; ++i) {
        const bool digit = file[i] >= '0' && file[i] <= '9';
        if (kPattern[i] == 'd' ? !digit : file[i] != kPattern[i])
            return false;
    }
    return true;
}

// Deletes this log's own dated files last written more than keepDays days
// ago; whatever else shares the folder stays.
void DeleteOldFiles(const std::string& folder, const std::string& name, int keepDays)
{
    DIR* dir = opendir(folder.c_str());
    if (!dir)
        return;
    time_t limit = time(nullptr) - static_cast<time_t>(keepDays) * 86400;
    while (struct dirent* entry = readdir(dir)) {
        if (!IsOwnDatedLog(entry->d_name, name))
            continue;
        std::string path = folder + entry->d_name;
        struct stat st;
        if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
            continue;
        if (st.st_mtime < limit && unlink(path.c_str()) != 0)
            fprintf(stderr, "log: cannot delete old log \"%s\": %s\n", path.c_str(), strerror(errno));
    }
    closedir(dir);
}
#endif

enum class Level { Track, Info, Warning, Error, Debug };

void Dispatch(Level level, const char* file, const char* function, int line, const char* format, va_list args)
{
    // Per-call buffer on the caller's stack: no thread shares it, and a text
    // longer than the buffer is cut, never written past it.
    char text[kLogTextSize];
    text[0] = '\0';
    if (format) {
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
        vsnprintf(text, sizeof text, format, args);
#pragma GCC diagnostic pop
    }

    LogState& state = State();
    CSectionGuard guard(&state.lock);
    ILogWriter* writer = state.manager ? state.manager->GetWriter() : nullptr;
    if (!writer)
        return;
    switch (level) {
    case Level::Track:
        writer->Track(file, function, line, text);
        break;
    case Level::Info:
        writer->Info(file, function, line, text);
        break;
    case Level::Warning:
        writer->Warning(file, function, line, text);
        break;
    case Level::Error:
        writer->Error(file, function, line, text);
        break;
    case Level::Debug:
        writer->Debug(file, function, line, text);
        break;
    }
}

} // namespace

CLogManager* InitLogSystem(const char* name, const char* dir, int keepDays, int outputType, int level)
{
    LogState& state = State();
    CSectionGuard guard(&state.lock);
    if (state.count < 1 && !state.manager) {
        const char* logName = name ? name : "APP";
        std::string folder = dir ? AppendPathSeparator(dir) : GetProgramFolder() + "log/";
        CreateFolderLevels(folder);
#if defined(SONACAP_LOG_PROGRAM_BUILD)
        DeleteOldFiles(folder, logName, keepDays > 0 ? keepDays : kLogDefaultKeepDays);
#else
        (void)keepDays; // the engine's single file is emptied at each start instead
#endif
        state.manager = new CLogSimpleManager(logName, folder.c_str(), outputType, level);
        state.count = 0;
    }
    ++state.count;
    return state.manager;
}

void ReleaseLogSystem()
{
    LogState& state = State();
    CSectionGuard guard(&state.lock);
    if (state.count < 1)
        return; // more releases than starts: nothing to undo
    if (--state.count == 0 && state.manager) {
        delete state.manager;
        state.manager = nullptr;
    }
}

#define SONACAP_LOG_FORWARD(level)                                       \
    va_list args;                                                        \
    va_start(args, format);                                              \
    Dispatch(level, file, function, line, format, args);                 \
    va_end(args)

void LogTrack(const char* file, const char* function, int line, const char* format, ...)
{
    SONACAP_LOG_FORWARD(Level::Track);
}

void LogInfo(const char* file, const char* function, int line, const char* format, ...)
{
    SONACAP_LOG_FORWARD(Level::Info);
}

void LogWarning(const char* file, const char* function, int line, const char* format, ...)
{
    SONACAP_LOG_FORWARD(Level::Warning);
}

void LogError(const char* file, const char* function, int line, const char* format, ...)
{
    SONACAP_LOG_FORWARD(Level::Error);
}

void LogDebug(const char* file, const char* function, int line, const char* format, ...)
{
    SONACAP_LOG_FORWARD(Level::Debug);
}

#undef SONACAP_LOG_FORWARD

#if defined(SONACAP_LOG_PROGRAM_BUILD)
void SetLogThreadName(const char* name)
{
    RegisterLogThreadName(name);
}
#endif

LogScope::LogScope(const char* name) : name(nullptr)
{
    const char* source = name ? name : "";
    size_t size = strlen(source) + 1;
    this->name = new char[size];
    memcpy(this->name, source, size);
    LogTrack("", "", 0, "%s in", this->name);
}

LogScope::~LogScope()
{
    LogTrack("", "", 0, "%s out", name);
    delete[] name;
}
