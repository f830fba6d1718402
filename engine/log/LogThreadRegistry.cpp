#include "LogThreadRegistry.h"

#include <cstdio>
#include <map>

#include <sys/syscall.h>
#include <unistd.h>

#include "CSectionGuard.h"
#include "CSectionLock.h"

namespace {

struct Registry {
    CSectionLock lock;
    std::map<long, std::string> names; // guarded by lock
};

// Never destroyed: threads may still log while static objects are torn down.
Registry& TheRegistry()
{
    static Registry* registry = new Registry;
    return *registry;
}

long CurrentThreadId()
{
    return static_cast<long>(syscall(SYS_gettid));
}

} // namespace

void RegisterLogThreadName(const char* name)
{
    Registry& r = TheRegistry();
    long id = CurrentThreadId();
    CSectionGuard guard(&r.lock);
    if (name && *name)
        r.names[id] = name;
    else
        r.names.erase(id);
}

std::string CurrentLogThreadName()
{
    Registry& r = TheRegistry();
    long id = CurrentThreadId();
    {
        CSectionGuard guard(&r.lock);
        auto it = r.names.find(id);
        if (it != r.names.end())
            return it->second;
    }
    char buf[32];
    snprintf(buf, sizeof buf, "%ld", id);
    return buf;
}
