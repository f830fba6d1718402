#pragma once

class QThread;

// Threads the window no longer waits for: a step of a report that is done,
// or that the user cancelled (its thread told to stop), or work whose end
// nobody needs to hear of. They are handed over
// here instead of being joined on the GUI thread, so that a thread still
// stuck in a blocking call cannot freeze the window. Each is deleted once it
// has finished; whatever still runs when the application object goes is
// waited for then, for a bounded time, after the windows are gone.
//
// Thread contract: every function runs on the GUI thread.
class RetiredThreads
{
public:
    // Takes ownership of `thread`, which has ended or been asked to stop, and
    // no longer talks to anyone.
    static void Retire(QThread* thread);
    // Threads handed over and not yet deleted.
    static int Count();
    // Waits up to `ms` in all for the handed-over threads and deletes those
    // that finished; true when none is left.
    static bool WaitAll(int ms);

    // How long the application's end waits for them.
    static constexpr int kExitWaitMs = 5000;
};
