#pragma once

class ILogHandle;

// Turns an entry into one line and hands it to the handle, when the entry's
// level passes the writer's threshold:
//   TRACK always, ERROR when level <= 3, Warning when level <= 2,
//   INFO when level <= 1, DEBUG when level <= 0.
class ILogWriter {
public:
    // handle: not owned, may be null (entries are then dropped); name may be null.
    ILogWriter(ILogHandle* handle, const char* name, int level);
    virtual ~ILogWriter();
    ILogWriter(const ILogWriter&) = delete;
    ILogWriter& operator=(const ILogWriter&) = delete;

    // file: the source file (its folder is cut off); null texts print as "".
    virtual void Track(const char* file, const char* function, int line, const char* text);
    virtual void Info(const char* file, const char* function, int line, const char* text);
    virtual void Error(const char* file, const char* function, int line, const char* text);
    virtual void Warning(const char* file, const char* function, int line, const char* text);
    virtual void Debug(const char* file, const char* function, int line, const char* text);

    int Level() const { return level; }
    const char* Name() const { return name; }

private:
    void Emit(const char* format, const char* file, const char* function, int line, const char* text);

    int level;
    ILogHandle* handle;
    char* name;
};
