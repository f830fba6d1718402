#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

// Forces the song files being written onto the disk about every half second,
// so that a power cut costs no more of a song than a killed program does.
//
// A writer hands over its file's descriptor when it opens the file (Attach),
// says when new bytes reached the file (Written) and hands the file back when
// it has closed it (Detach); the file is forced once more then. fdatasync can
// take long on a busy disk: it runs on the syncer's own thread only, and none
// of the three calls ever waits for it.
//
// The syncer forces a duplicate of the writer's descriptor that it alone
// closes, after its last sync: the writer closes its own descriptor whenever it
// likes, and the syncer never forces a closed descriptor or one that by then
// names another file.
//
// Writers take the process's syncer (Shared) unless a test gives them one of
// its own. A syncer must outlive the writers that use it.
class CDiskSyncer {
public:
    // Forces one descriptor's data to the disk: 0, or -1 with errno set (the
    // contract of fdatasync, which is the default; a seam for tests).
    using SyncFunction = std::function<int(int fd)>;
    struct File;
    using Handle = std::shared_ptr<File>;

    static constexpr std::chrono::milliseconds kPeriod{500};

    explicit CDiskSyncer(SyncFunction sync = SyncFunction(), std::chrono::milliseconds period = kPeriod);
    // Forces what is still attached or handed back a last time, then ends the
    // thread.
    ~CDiskSyncer();
    CDiskSyncer(const CDiskSyncer&) = delete;
    CDiskSyncer& operator=(const CDiskSyncer&) = delete;

    // The one syncer of the process; it lives until the process ends, so what
    // was handed back just before may not be forced then.
    static CDiskSyncer& Shared();

    // Starts forcing the file open at `fd`. Empty when the descriptor cannot be
    // duplicated (logged): the file is then written without being forced.
    Handle Attach(int fd);
    // New bytes reached the file: it is forced within one period. Never blocks;
    // an empty handle is ignored.
    static void Written(const Handle& file);
    // The writer is done with the file (its own descriptor may already be
    // closed): it is forced once more, soon, and let go. Empties `file`.
    void Detach(Handle& file);

private:
    void Run();

    const SyncFunction sync;
    const std::chrono::milliseconds period;

    // Thread contract. `files`, `handedBack` and `stopping` are guarded by
    // `lock`, which no one holds while a file is forced: writer threads add to
    // `files` (Attach) and mark entries handed back (Detach); the syncer thread
    // removes the handed-back entries once it forced them a last time. Each
    // entry's duplicate descriptor is made before the entry is shared and
    // closed by the syncer thread only; its "new bytes" flag is an atomic that
    // writers set and the syncer thread clears before it forces the file.
    std::mutex lock;
    std::condition_variable wake;
    std::vector<Handle> files;
    bool handedBack = false;
    bool stopping = false;
    std::thread thread;
};
