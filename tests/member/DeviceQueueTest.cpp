#include "member/DeviceQueue.h"

#include <gtest/gtest.h>

#include <asio.hpp>

#include <atomic>
#include <optional>
#include <thread>

namespace {

// A request is still being queued when the queue moves on without it: the
// turn before it ends (its step begins) or requests stop (it is dropped).
// Either way it completes once, never twice: a second completion resumed a
// finished coroutine and crashed. The queue moves as soon as it shows the
// request, as a listener that waits for it does.
TEST(DeviceQueueTest, AStepTheQueueMovesOnRightAsItArrivesCompletesExactlyOnce)
{
    const struct {
        const char* Name;
        bool Stop;
    } cases[] = {{"the turn before it ends", false}, {"requests stop", true}};
    for (const auto& c : cases) {
        TDeviceQueue queue;
        int wrong = 0;
        for (int round = 0; round < 4000; ++round) {
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
            if (c.Stop) {
                queue.StopRequests();
            }
            busy.reset();
            request.join();
            queue.AcceptRequests();
            wrong += completions.load() != 1 ? 1 : 0;
        }
        EXPECT_EQ(wrong, 0) << c.Name;
    }
}

} // namespace
