#pragma once

// The log library, compiled into the engine (SONACAP_LOG_ENGINE_BUILD) and into
// the program (SONACAP_LOG_PROGRAM_BUILD). Log calls are safe from any thread.

class CLogManager;

// Starts the library on the first call; later calls only count and return the
// same manager. name: null means "APP". dir: null means the program's folder
// followed by "log/"; missing levels are created. keepDays: the program build
// deletes its own dated files ("YYYY_MM_DD_<name>.log") of the folder older
// than that many days (0 means 15) before it opens its file, and nothing else
// of the folder; the engine build ignores it.
// outputType: 1 console (standard output), 2 file, other: nothing.
// level: 0 everything, 1 drops DEBUG, 2 also INFO, 3 also Warning, 4 only TRACK.
// Files: "<dir>/<name>.log" emptied at start (engine build),
// "<dir>/YYYY_MM_DD_<name>.log" appended to (program build). A folder or file
// that cannot be made is reported on standard error; entries are then dropped.
CLogManager* InitLogSystem(const char* name, const char* dir, int keepDays, int outputType, int level);
// Undoes one InitLogSystem; the last one closes the file.
void ReleaseLogSystem();

// Each call formats its text into its own buffer (texts over the build's limit
// of 5,119 or 10,239 characters are cut) and writes one whole line. Before the
// library starts and after its last release, entries are dropped.

void LogTrack(const char* file, const char* function, int line, const char* format, ...) __attribute__((format(printf, 4, 5)));
void LogInfo(const char* file, const char* function, int line, const char* format, ...) __attribute__((format(printf, 4, 5)));
void LogWarning(const char* file, const char* function, int line, const char* format, ...) __attribute__((format(printf, 4, 5)));
void LogError(const char* file, const char* function, int line, const char* format, ...) __attribute__((format(printf, 4, 5)));
void LogDebug(const char* file, const char* function, int line, const char* format, ...) __attribute__((format(printf, 4, 5)));

#if defined(SONACAP_LOG_PROGRAM_BUILD)
// Shows the calling thread by this name instead of its id; null or "" removes it.
void SetLogThreadName(const char* name);
#endif

// Logs "<name> in" on construction and "<name> out" on destruction (TRACK).
class LogScope {
public:
    explicit LogScope(const char* name);
    ~LogScope();
    LogScope(const LogScope&) = delete;
    LogScope& operator=(const LogScope&) = delete;

private:
    char* name;
};

// src: the caller's source file without folder and extension (e.g. "SonacapImpl");
// func: "Class::Operation" as the log shows it.
#define SC_LOG_TRACK(src, func, ...) LogTrack(src, func, __LINE__, __VA_ARGS__)
#define SC_LOG_INFO(src, func, ...) LogInfo(src, func, __LINE__, __VA_ARGS__)
#define SC_LOG_WARNING(src, func, ...) LogWarning(src, func, __LINE__, __VA_ARGS__)
#define SC_LOG_ERROR(src, func, ...) LogError(src, func, __LINE__, __VA_ARGS__)
#define SC_LOG_DEBUG(src, func, ...) LogDebug(src, func, __LINE__, __VA_ARGS__)
