#pragma once

#include <mutex>

// The engine's critical section: recursive, so a callback that re-enters the
// engine on the thread holding the lock does not deadlock.
class CSectionLock {
public:
    CSectionLock();
    ~CSectionLock();
    CSectionLock(const CSectionLock&) = delete;
    CSectionLock& operator=(const CSectionLock&) = delete;

    void Enter();
    void Leave();

private:
    std::recursive_mutex* section;
};
