#pragma once

// A thread running the virtual Routine of the object.
// Start and Join are called from one controlling thread, never concurrently.
class OS_Thread {
public:
    OS_Thread();
    virtual ~OS_Thread();
    OS_Thread(const OS_Thread&) = delete;
    OS_Thread& operator=(const OS_Thread&) = delete;

    // The thread body. An exception leaving it ends the thread with -1.
    virtual int Routine() = 0;

    // 0 when the thread was started, -1 otherwise.
    int Start();
    // Waits for the thread, when there is one, and forgets it. Called on the
    // thread itself it returns at once.
    void Join();
    bool IsStarted() const;

private:
    struct ThreadRecord;
    static void* Entry(void* self);

    ThreadRecord* record;
};
