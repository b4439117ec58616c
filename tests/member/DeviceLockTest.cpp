#include "member/DeviceLock.h"

#include <gtest/gtest.h>

#include <mutex>
#include <thread>
#include <vector>

namespace {

TEST(FairLockTest, WaitersAreServedInArrivalOrder)
{
    TFairLock lock;
    std::vector<int> order;
    std::mutex orderMutex;
    std::vector<std::thread> waiters;
    lock.lock();
    for (int i = 0; i < 6; ++i) {
        waiters.emplace_back([&, i] {
            std::scoped_lock guard(lock);
            std::scoped_lock record(orderMutex);
            order.push_back(i);
        });
        // Each waiter takes its ticket before the next one starts.
        while (lock.Queued() != static_cast<uint64_t>(i + 2)) {
            std::this_thread::yield();
        }
    }
    lock.unlock();
    for (std::thread& t : waiters) {
        t.join();
    }
    EXPECT_EQ(order, (std::vector<int> {0, 1, 2, 3, 4, 5}));
}

} // namespace
