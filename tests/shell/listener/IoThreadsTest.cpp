#include "shell/listener/IoThreads.h"

#include <gtest/gtest.h>

#include <asio.hpp>

#include <atomic>
#include <chrono>
#include <future>
#include <memory>
#include <optional>
#include <thread>

namespace {

using namespace std::chrono_literals;

// A transaction holds the serving thread; the standby thread steps in and
// takes an event whose handler hands work on (deferred, as a connection's
// first step is) and ends only after the transaction is over. The standby
// thread then leaves, while the serving thread may be waiting for events:
// the work it left behind is still done.
TEST(IoThreadsTest, WorkTheStandbyThreadLeavesBehindIsDone)
{
    auto io = std::make_shared<asio::io_context>(2);
    std::optional<asio::executor_work_guard<asio::io_context::executor_type>> work(io->get_executor());
    TIoThreads threads(io);
    threads.Start();

    TBaseMember device;
    CurrentMemberDevice = &device;
    TDeviceQueue queue;
    std::atomic<bool> transactionBegun {false};
    std::atomic<bool> transactionOver {false};
    std::promise<void> handedOn;
    asio::post(*io, [&] {
        queue.TryRun([&](TBaseMember&) {
            transactionBegun = true;
            std::this_thread::sleep_for(100ms);
            return true;
        });
        transactionOver = true;
    });
    while (!transactionBegun) {
        std::this_thread::yield();
    }
    asio::post(*io, [&] {
        asio::defer(*io, [&] { handedOn.set_value(); });
        while (!transactionOver) {
            std::this_thread::yield();
        }
    });

    EXPECT_EQ(handedOn.get_future().wait_for(2s), std::future_status::ready);
    CurrentMemberDevice = nullptr;
    work.reset();
    io->stop();
    threads.Join();
}

} // namespace
