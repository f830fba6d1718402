#pragma once

#include <string>

#include "CLogManager.h"

class ILogHandle;

// Owns one handle and one writer. outputType 1 writes to the console, 2 to the
// file "<folder>/<name>.log" (engine) or "<folder>/YYYY_MM_DD_<name>.log"
// (program); any other type writes nowhere.
class CLogSimpleManager : public CLogManager {
public:
    // folder ends in a path separator; name and folder must not be null.
    CLogSimpleManager(const char* name, const char* folder, int outputType, int level);
    ~CLogSimpleManager() override;
    CLogSimpleManager(const CLogSimpleManager&) = delete;
    CLogSimpleManager& operator=(const CLogSimpleManager&) = delete;

    ILogWriter* GetWriter() override;

    // The log file's path for this build and the current date.
    static std::string FilePath(const char* name, const char* folder);

private:
    ILogHandle* handle;
    ILogWriter* writer;
};
