#include "member/DeviceQueue.h"

#include <gtest/gtest.h>

#include <asio.hpp>

#include <atomic>
#include <optional>
#include <thread>

namespace {

// A stop that comes while a request is still being queued: the step is
// dropped once, never twice (a second completion resumed a finished
// coroutine and crashed). The stop follows the arrival as closely as a
// waiting listener's does: as soon as the queue shows the request.
TEST(DeviceQueueTest, AStepStoppedRightAsItArrivesCompletesExactlyOnce)
{
    TDeviceQueue queue;
    int twice = 0;
    for (int round = 0; round < 4000; ++round) {
        queue.AcceptRequests();
        std::optional<TDeviceTurn> busy(std::in_place, queue);
        std::atomic<int> completions {0};
        std::thread request([&] {
            asio::io_context io;
            queue.AsyncRun([](TBaseMember&) { return true; }, nullptr,
                asio::bind_executor(io, [&](std::exception_ptr, bool) { ++completions; }));
            io.run();
        });
        while (queue.Queued() < 2) {
            std::this_thread::yield();
        }
        queue.StopRequests();
        busy.reset();
        request.join();
        twice += completions.load() != 1 ? 1 : 0;
    }
    EXPECT_EQ(twice, 0);
}

} // namespace
