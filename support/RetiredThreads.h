#pragma once

class QThread;

// Threads the window no longer waits for. A report the user cancels has its
// thread told to stop and handed over here instead of being joined on the
// GUI thread: a thread stuck in a blocking call (a name lookup, a child
// program) must not freeze the window. Each thread is deleted once it has
// finished; whatever still runs when the application object goes is waited
// for then, for a bounded time, after the windows are gone.
//
// Thread contract: every function runs on the GUI thread.
class RetiredThreads
{
public:
    // Takes ownership of `thread`, which has been asked to stop and no longer
    // talks to anyone.
    static void Retire(QThread* thread);
    // Threads handed over and not yet deleted.
    static int Count();
    // Waits up to `ms` in all for the handed-over threads and deletes those
    // that finished; true when none is left.
    static bool WaitAll(int ms);

    // How long the application's end waits for them.
    static constexpr int kExitWaitMs = 5000;
};
