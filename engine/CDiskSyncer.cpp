#include "CDiskSyncer.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>

#include "Log.h"

namespace {
constexpr const char* kSrc = "DiskSyncer";
}  // namespace

struct CDiskSyncer::File {
    explicit File(int descriptor) : fd(descriptor) {}
    const int fd;
    std::atomic<bool> written{false};
    // Under the syncer's lock.
    bool handedBack = false;
    // Syncer thread only: a failing file is logged once.
    bool failed = false;
};

constexpr std::chrono::milliseconds CDiskSyncer::kPeriod;

CDiskSyncer::CDiskSyncer(SyncFunction syncFunction, std::chrono::milliseconds syncPeriod)
    : sync(syncFunction ? std::move(syncFunction) : SyncFunction([](int fd) { return fdatasync(fd); })),
      period(syncPeriod)
{
    thread = std::thread(&CDiskSyncer::Run, this);
}

CDiskSyncer::~CDiskSyncer()
{
    {
        std::lock_guard<std::mutex> guard(lock);
        stopping = true;
    }
    wake.notify_one();
    thread.join();
}

CDiskSyncer& CDiskSyncer::Shared()
{
    // Never destroyed: a writer released late in the program's exit must not
    // find it gone, and the exit does not wait for a sync.
    static CDiskSyncer* shared = new CDiskSyncer();
    return *shared;
}

CDiskSyncer::Handle CDiskSyncer::Attach(int fd)
{
    if (fd < 0)
        return Handle();
    const int own = fcntl(fd, F_DUPFD_CLOEXEC, 0);
    if (own < 0) {
        SC_LOG_ERROR(kSrc, "CDiskSyncer::Attach", "cannot duplicate descriptor %d: %s; the file is not forced to disk",
                     fd, strerror(errno));
        return Handle();
    }
    Handle file = std::make_shared<File>(own);
    {
        std::lock_guard<std::mutex> guard(lock);
        files.push_back(file);
    }
    wake.notify_one();
    return file;
}

void CDiskSyncer::Written(const Handle& file)
{
    if (file)
        file->written.store(true, std::memory_order_relaxed);
}

void CDiskSyncer::Detach(Handle& file)
{
    if (!file)
        return;
    {
        std::lock_guard<std::mutex> guard(lock);
        file->handedBack = true;
        handedBack = true;
    }
    wake.notify_one();
    file.reset();
}

void CDiskSyncer::Run()
{
    using Clock = std::chrono::steady_clock;
    struct Task {
        Handle file;
        bool last;
    };
    std::vector<Task> tasks;
    std::unique_lock<std::mutex> guard(lock);
    Clock::time_point due = Clock::now() + period;
    for (;;) {
        if (files.empty()) {
            if (stopping)
                return;
            wake.wait(guard, [this] { return stopping || !files.empty(); });
            due = Clock::now() + period;
            continue;
        }
        wake.wait_until(guard, due, [this] { return stopping || handedBack; });
        const Clock::time_point now = Clock::now();
        const bool pass = stopping || now >= due;
        if (now >= due) {
            due += period;
            if (due <= now)
                due = now + period;
        }
        handedBack = false;
        for (const Handle& file : files) {
            if (file->handedBack || stopping)
                tasks.push_back({file, true});
            else if (pass && file->written.load(std::memory_order_relaxed))
                tasks.push_back({file, false});
        }
        files.erase(std::remove_if(files.begin(), files.end(),
                                   [this](const Handle& file) { return file->handedBack || stopping; }),
                    files.end());
        guard.unlock();
        for (Task& task : tasks) {
            // Cleared before the sync: bytes written while it runs are forced
            // at the next pass.
            task.file->written.store(false, std::memory_order_relaxed);
            if (sync(task.file->fd) != 0 && !task.file->failed) {
                task.file->failed = true;
                SC_LOG_ERROR(kSrc, "CDiskSyncer::Run", "forcing a song file to disk failed: %s", strerror(errno));
            }
            if (task.last)
                close(task.file->fd);
        }
        tasks.clear();
        guard.lock();
    }
}
