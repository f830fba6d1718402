#pragma once

// Where finished log lines go.
class ILogHandle {
public:
    virtual ~ILogHandle();
    // line: one complete, newline-terminated entry; may be null (ignored).
    virtual void Write(const char* line) = 0;
};
