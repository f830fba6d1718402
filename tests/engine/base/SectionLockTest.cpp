#include <atomic>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "CSectionGuard.h"
#include "CSectionLock.h"

namespace {

TEST(SectionLockTest, SameThreadMayEnterAgain)
{
    // A callback that re-enters the engine on the thread holding the lock must
    // not deadlock; a plain mutex would hang here.
    CSectionLock lock;
    CSectionGuard outer(&lock);
    {
        CSectionGuard inner(&lock);
        lock.Enter();
        lock.Leave();
    }
    SUCCEED();
}

TEST(SectionLockTest, NullGuardDoesNothing)
{
    CSectionGuard guard(nullptr);
    SUCCEED();
}

TEST(SectionLockTest, GuardExcludesOtherThreads)
{
    CSectionLock lock;
    long counter = 0; // guarded by lock
    std::atomic<int> inside{0};
    std::atomic<bool> overlap{false};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < 20000; ++i) {
                CSectionGuard guard(&lock);
                if (inside.fetch_add(1) != 0)
                    overlap = true;
                ++counter;
                inside.fetch_sub(1);
            }
        });
    }
    for (std::thread& t : threads)
        t.join();
    EXPECT_FALSE(overlap.load());
    EXPECT_EQ(counter, 80000);
}

TEST(SectionLockTest, LeaveReleasesForOtherThreads)
{
    CSectionLock lock;
    lock.Enter();
    lock.Enter();
    lock.Leave();
    std::atomic<bool> entered{false};
    std::thread other([&] {
        lock.Enter();
        entered = true;
        lock.Leave();
    });
    // Still held once: the other thread must wait until the last Leave.
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_FALSE(entered.load());
    lock.Leave();
    other.join();
    EXPECT_TRUE(entered.load());
}

} // namespace
