#include "CLogSimpleManager.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "ILogFile.h"
#include "ILogTrace.h"
#include "ILogWriter.h"
#include "LogBuild.h"

CLogSimpleManager::CLogSimpleManager(const char* name, const char* folder, int outputType, int level)
    : handle(nullptr), writer(nullptr)
{
    if (outputType == 1) {
        handle = new ILogTrace;
    } else if (outputType == 2) {
        ILogFile* file = new ILogFile;
        std::string path = FilePath(name, folder);
        if (!file->Open(path.c_str())) {
            // Entries are dropped from here on; say so once where a developer looks.
            fprintf(stderr, "log: cannot open \"%s\": %s\n", path.c_str(), strerror(errno));
        }
        handle = file;
    } else {
        return;
    }
    writer = new ILogWriter(handle, name, level);
}

CLogSimpleManager::~CLogSimpleManager()
{
    delete writer;
    delete handle;
}

ILogWriter* CLogSimpleManager::GetWriter()
{
    return writer;
}

std::string CLogSimpleManager::FilePath(const char* name, const char* folder)
{
    std::string path(folder ? folder : "");
    path += '/';
#if defined(SONACAP_LOG_PROGRAM_BUILD)
    time_t now = time(nullptr);
    struct tm local;
    memset(&local, 0, sizeof local);
    localtime_r(&now, &local);
    char date[32];
    snprintf(date, sizeof date, "%04d_%02d_%02d_", local.tm_year + 1900, local.tm_mon + 1, local.tm_mday);
    path += date;
#endif
    path += name ? name : "";
    path += ".log";
    return path;
}
