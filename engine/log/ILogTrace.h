#pragma once

#include "ILogHandle.h"

// Console output (standard output); there is no separate debugger channel here.
class ILogTrace : public ILogHandle {
public:
    ~ILogTrace() override;
    void Write(const char* line) override;
};
