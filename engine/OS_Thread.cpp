#include "OS_Thread.h"

#include <pthread.h>

#include <cstdint>
#include <new>

struct OS_Thread::ThreadRecord {
    pthread_t handle;
};

OS_Thread::OS_Thread() : record(nullptr) {}

OS_Thread::~OS_Thread()
{
    // A thread still running is let go without waiting; owners join first.
    if (record) {
        pthread_detach(record->handle);
        delete record;
        record = nullptr;
    }
}

void* OS_Thread::Entry(void* self)
{
    int result = -1;
    try {
        result = static_cast<OS_Thread*>(self)->Routine();
    } catch (...) {
        result = -1;
    }
    return reinterpret_cast<void*>(static_cast<intptr_t>(result));
}

int OS_Thread::Start()
{
    if (record)
        return -1;
    ThreadRecord* created = new (std::nothrow) ThreadRecord;
    if (!created)
        return -1;
    if (pthread_create(&created->handle, nullptr, &OS_Thread::Entry, this) != 0) {
        delete created;
        return -1;
    }
    record = created;
    return 0;
}

void OS_Thread::Join()
{
    if (!record)
        return;
    // The thread cannot wait for itself (a callback that resets the engine on
    // its own thread); it ends on its own once told to.
    if (pthread_equal(record->handle, pthread_self()))
        return;
    pthread_join(record->handle, nullptr);
    delete record;
    record = nullptr;
}

bool OS_Thread::IsStarted() const
{
    return record != nullptr;
}
