#pragma once

class CSectionLock;

// Scoped guard: enters the lock (when non-null) for its lifetime.
class CSectionGuard {
public:
    explicit CSectionGuard(CSectionLock* lock);
    ~CSectionGuard();
    CSectionGuard(const CSectionGuard&) = delete;
    CSectionGuard& operator=(const CSectionGuard&) = delete;

private:
    CSectionLock* lock;
};
