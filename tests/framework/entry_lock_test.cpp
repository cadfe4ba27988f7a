#include "framework/entry_lock.h"

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <thread>

namespace vemra {
namespace {

TEST(EntryLock, TheOwnerMayTakeItAgainWhileOthersWait) {
    EntryLock lock;
    std::unique_lock outer(lock);
    {
        std::lock_guard inner(lock); // re-entry must not deadlock
    }
    std::atomic<bool> otherGotIt{false};
    std::thread other([&] {
        otherGotIt = lock.try_lock();
        if (otherGotIt)
            lock.unlock();
    });
    other.join();
    EXPECT_FALSE(otherGotIt); // still held once by this thread

    outer.unlock();
    std::thread again([&] {
        std::lock_guard guard(lock);
        otherGotIt = true;
    });
    again.join();
    EXPECT_TRUE(otherGotIt);
}

} // namespace
} // namespace vemra
