#include "Sonacap.h"

#include <string>

#include "EngineUtils.h"
#include "Log.h"

namespace {

// The module's folders, in the local encoding, each ending in a separator.
// Written by InitSonacapModule on the program's thread before any engine
// object exists; read afterwards by every engine thread without a lock.
std::string g_workDir;
std::string g_logDir;

// How many times InitSonacapModule started the log library; each is undone
// when the library is unloaded.
int g_logStarts = 0;

struct ModuleUnload {
    ~ModuleUnload()
    {
        for (; g_logStarts > 0; --g_logStarts)
            ReleaseLogSystem();
    }
};
ModuleUnload g_moduleUnload;

std::string FolderFromUtf8(const char* utf8)
{
    return AppendPathSeparator(Utf8ToAnsi(utf8).c_str());
}

} // namespace

void InitSonacapModule(const char* workDir, const char* logDir)
{
    // A folder that does not convert (or is empty) falls back to the default
    // rather than leaving the engine without a folder.
    g_workDir = workDir ? FolderFromUtf8(workDir) : std::string();
    if (g_workDir.empty())
        g_workDir = GetProgramFolder();
    g_logDir = logDir ? FolderFromUtf8(logDir) : std::string();
    if (g_logDir.empty())
        g_logDir = g_workDir + "log/";
    InitLogSystem("Sonacap", g_logDir.c_str(), 5, 2, 0);
    ++g_logStarts;
}

CSonacapBase::CSonacapBase() : callback(nullptr), user(nullptr) {}

CSonacapBase::~CSonacapBase() = default;

void CSonacapBase::RegCallback(SonacapNotifyCallback cb, void* user)
{
    callback = cb;
    this->user = user;
}

void CSonacapBase::Release(CSonacapBase* engine)
{
    delete engine;
}

const char* CSonacapBase::GetWorkDir()
{
    return g_workDir.c_str();
}

const char* CSonacapBase::GetLogDir()
{
    return g_logDir.c_str();
}
