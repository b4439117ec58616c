#include "member/DeviceQueue.h"

#include "member/ClientConnection.h"

#include "support/DeviceHold.h"
#include "support/RecordingMember.h"

#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <optional>
#include <thread>

namespace {

// A client whose going is set by the test; it notes on which thread and at
// which point of the transaction it was asked.
class TFakeClient : public TRequestClient {
public:
    bool Gone() const override
    {
        AskedOn = std::this_thread::get_id();
        AskedAfterBegin = Begun.load();
        return IsGone.load();
    }
    std::atomic<bool> IsGone {false};
    std::atomic<bool> Begun {false};
    mutable std::thread::id AskedOn;
    mutable bool AskedAfterBegin = false;
};

struct TOutcome {
    bool Ran = false;
    std::error_code Dropped;
};

// Queues one request behind a held device, lets change happen while it
// waits, then lets the device go and waits for the request's end.
TOutcome RunBehindHold(TDeviceQueue& queue, TFakeClient& client, const std::function<void()>& change)
{
    TOutcome outcome;
    asio::io_context io;
    {
        const TDeviceHold hold(queue);
        queue.AsyncRun(
            [&](TBaseMember&) {
                client.Begun = true;
                outcome.Ran = true;
                return true;
            },
            &client, asio::bind_executor(io, [&](std::exception_ptr error, bool) {
                try {
                    if (error) {
                        std::rethrow_exception(error);
                    }
                } catch (const std::system_error& dropped) {
                    outcome.Dropped = dropped.code();
                }
            }));
        change();
    }
    io.run();
    return outcome;
}

// Whether a request may still begin is decided on the device thread in the
// step that would begin it, so whatever happened while it waited counts,
// up to the last moment: a stop, its client's going, its time running out.
TEST(DeviceQueueTest, ARequestIsCheckedOnTheDeviceThreadRightBeforeItBegins)
{
    TRecordingMember device;
    CurrentMemberDevice = &device;
    const struct {
        const char* Name;
        std::function<void(TDeviceQueue&, TFakeClient&)> Change;
        std::optional<TDeviceQueueError> Dropped;
    } cases[] = {
        {"nothing happens", [](TDeviceQueue&, TFakeClient&) { }, std::nullopt},
        {"requests stop", [](TDeviceQueue& q, TFakeClient&) { q.StopRequests(); }, TDeviceQueueError::Stopped},
        {"the client goes", [](TDeviceQueue&, TFakeClient& c) { c.IsGone = true; }, TDeviceQueueError::ClientGone},
        {"the wait runs out",
            [](TDeviceQueue& q, TFakeClient&) {
                q.SetQueueTimeout(std::chrono::seconds(1));
                std::this_thread::sleep_for(std::chrono::milliseconds(1100));
            },
            TDeviceQueueError::TimedOut},
    };
    for (const auto& c : cases) {
        TDeviceQueue queue;
        TFakeClient client;
        std::thread::id deviceThread;
        queue.RunTurn([&] { deviceThread = std::this_thread::get_id(); });
        const TOutcome outcome = RunBehindHold(queue, client, [&] { c.Change(queue, client); });
        EXPECT_EQ(outcome.Ran, !c.Dropped) << c.Name;
        EXPECT_EQ(outcome.Dropped, c.Dropped ? make_error_code(*c.Dropped) : std::error_code()) << c.Name;
        if (c.Name == std::string("nothing happens") || c.Name == std::string("the client goes")) {
            EXPECT_EQ(client.AskedOn, deviceThread) << c.Name;
            EXPECT_FALSE(client.AskedAfterBegin) << c.Name;
        }
    }
    CurrentMemberDevice = nullptr;
}

// A stop gives up waiting for a running transaction (a hung printer call),
// but the transaction still completes on its I/O context: whoever owns the
// context waits for it before the context goes.
TEST(DeviceQueueTest, WaitingForRequestsOutlastsARequestAStopGaveUpOn)
{
    TRecordingMember device;
    CurrentMemberDevice = &device;
    TDeviceQueue queue;
    std::optional<asio::io_context> io(std::in_place);
    std::promise<void> begun;
    std::atomic<bool> release {false};
    bool completed = false;
    queue.AsyncRun(
        [&](TBaseMember&) {
            begun.set_value();
            while (!release) {
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
            return true;
        },
        nullptr, asio::bind_executor(*io, [&](std::exception_ptr, bool) { completed = true; }));
    begun.get_future().wait();
    queue.StopRequests();
    auto waited = std::async(std::launch::async, [&] { queue.WaitForRequests(); });
    EXPECT_EQ(waited.wait_for(std::chrono::milliseconds(200)), std::future_status::timeout);

    release = true;
    waited.get();
    io->run();
    EXPECT_TRUE(completed);
    // Nothing of the request refers to the context any more.
    io.reset();
    queue.RunTurn([] { });
    CurrentMemberDevice = nullptr;
}

// Turns (start-up, the dialogs, shut-down) are never dropped, and the queue
// serves everything in arrival order on its one thread.
TEST(DeviceQueueTest, TurnsSurviveAStopAndEverythingRunsInArrivalOrder)
{
    TDeviceQueue queue;
    std::vector<int> order;
    std::vector<std::thread::id> threads;
    std::future<void> turn;
    {
        const TDeviceHold hold(queue);
        queue.StopRequests();
        turn = std::async(std::launch::async, [&] {
            queue.RunTurn([&] {
                order.push_back(1);
                threads.push_back(std::this_thread::get_id());
            });
        });
        while (queue.Queued() < 2) {
            std::this_thread::yield();
        }
    }
    turn.get();
    queue.AcceptRequests();
    queue.RunTurn([&] {
        order.push_back(2);
        threads.push_back(std::this_thread::get_id());
    });
    EXPECT_EQ(order, (std::vector<int> {1, 2}));
    ASSERT_EQ(threads.size(), 2u);
    EXPECT_EQ(threads[0], threads[1]);
    EXPECT_NE(threads[0], std::this_thread::get_id());
}

} // namespace
