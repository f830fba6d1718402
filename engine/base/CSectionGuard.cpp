#include "CSectionGuard.h"

#include "CSectionLock.h"

CSectionGuard::CSectionGuard(CSectionLock* lock) : lock(lock)
{
    if (lock)
        lock->Enter();
}

CSectionGuard::~CSectionGuard()
{
    if (lock)
        lock->Leave();
}
