#pragma once

#include "base/Asio.h"
#include "member/BaseMemberUnit.h"

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>

class TRequestClient;

// Why a request's device step never began.
enum class TDeviceQueueError {
    // Requests were stopped (the program is ending) before its turn came.
    Stopped = 1,
    // The client had gone when its turn came.
    ClientGone,
    // It waited longer than QueueTimeoutSec.
    TimedOut,
};
const std::error_category& DeviceQueueCategory();
std::error_code make_error_code(TDeviceQueueError error);
template <>
struct std::is_error_code_enum<TDeviceQueueError> : std::true_type { };

// The one way to the member device: one thread of its own that runs every
// device call, first come first served, one whole card transaction at a
// time: requests, the test dialog, start-up, shut-down and the options
// dialog's change of settings.
//
// Requests wait as entries in a list, not as threads. In the step in which
// the device thread would begin a request, it decides whether the request
// may still begin: not when requests are stopped, its client has gone or it
// waited past QueueTimeoutSec. Decision and beginning are one step on one
// thread, so no stop, reset or time-out can slip in between. A request that
// has begun always runs to its end.
class TDeviceQueue {
public:
    // Whether the caller runs on the device thread, for the debug checks of
    // what must run there (a client's Gone, asked in the step that would
    // begin its card).
    bool OnDeviceThread() const { return std::this_thread::get_id() == m_thread.get_id(); }

    using TOperation = std::function<bool(TBaseMember& device)>;
    using TClock = std::chrono::steady_clock;

    TDeviceQueue() = default;
    // Finishes what is queued, then ends the device thread.
    ~TDeviceQueue();
    TDeviceQueue(const TDeviceQueue&) = delete;
    TDeviceQueue& operator=(const TDeviceQueue&) = delete;

    // A request's device step: in its turn, operation runs with
    // CurrentMemberDevice on the device thread, and the result (false when
    // there is no device) completes the handler on the handler's executor.
    // Completes with a std::system_error of TDeviceQueueError when dropped
    // instead; an exception thrown by operation is passed on. client, when
    // given, is asked whether it has gone right before the step begins.
    template <typename CompletionToken>
    auto AsyncRun(TOperation operation, const TRequestClient* client, CompletionToken&& token);

    // Runs work on the device thread in a turn of its own and waits for it;
    // what work throws is thrown here. Turns are never dropped.
    void RunTurn(const std::function<void()>& work);

    // Drops every request step still waiting and every one queued from now
    // on, until AcceptRequests; turns are not affected.
    void StopRequests();
    void AcceptRequests();

    // Finishes what is queued and ends the device thread, once nothing else
    // can queue any more; a later entry starts a new one. Called before the
    // application object goes: the device thread may have drawn text (the
    // simulator's card face), and Qt frees a thread's font caches only
    // while its own globals still live.
    void EndThread();

    // Returns once every request step taken in has completed and let go of
    // its handler's executor; turns are not waited for. Whoever owns the
    // I/O context a step completes on waits here before the context goes:
    // a step a stop gave up on (a hung printer call) still runs to its end.
    void WaitForRequests();

    // Requests and turns waiting or running.
    size_t Queued() const;

    // Longest wait before a request is dropped as timed out; zero waits
    // without limit. Read when a request's turn comes.
    void SetQueueTimeout(std::chrono::seconds timeout);

private:
    struct TEntry {
        // A request's step, or a turn's work (no Client, never dropped).
        std::function<bool()> Job;
        bool Request = false;
        const TRequestClient* Client = nullptr;
        TClock::time_point Queued;
        // Called once, on the device thread for a turn; a request's posts
        // itself to the handler's executor.
        std::function<void(std::exception_ptr error, bool result)> Complete;
    };

    void Enqueue(std::shared_ptr<TEntry> entry);
    void Serve();
    // Under m_mutex: why the request must not begin now, if it must not.
    std::error_code Refusal(const TEntry& entry) const;
    static void Drop(TEntry& entry, TDeviceQueueError reason);
    // Under m_mutex: count request entries have been completed and freed.
    void RequestsEnded(size_t count);

    mutable std::mutex m_mutex;
    std::condition_variable m_arrived;
    std::condition_variable m_requestsEnded;
    std::deque<std::shared_ptr<TEntry>> m_entries;
    // An entry is running on the device thread.
    bool m_busy = false;
    // Request entries taken in and not yet completed and freed.
    size_t m_requests = 0;
    bool m_refusingRequests = false;
    bool m_ending = false;
    std::chrono::seconds m_queueTimeout {0};
    // Started with the first entry, so a queue nobody uses costs no thread.
    std::thread m_thread;
};

// The process's queue in front of CurrentMemberDevice.
extern TDeviceQueue DeviceQueue;

// Runs operation with CurrentMemberDevice in a turn of its own on the device
// thread and waits for it; false when there is no device.
bool UseCurrentDevice(const TDeviceQueue::TOperation& operation);

// Takes CurrentMemberDevice away in turn, after everything queued before, so
// no later step finds a device that is about to be freed, and ends the
// device thread while the application object still lives.
void RetireCurrentDevice();

template <typename CompletionToken>
auto TDeviceQueue::AsyncRun(TOperation operation, const TRequestClient* client, CompletionToken&& token)
{
    auto initiate = [this](auto handler, TOperation operation, const TRequestClient* client) {
        auto entry = std::make_shared<TEntry>();
        entry->Request = true;
        entry->Client = client;
        entry->Job = [operation = std::move(operation)] {
            TBaseMember* device = CurrentMemberDevice;
            return device != nullptr && operation(*device);
        };
        // Tracked, so the handler's I/O context does not run out of work
        // while the step waits its turn.
        auto executor = asio::prefer(asio::get_associated_executor(handler), asio::execution::outstanding_work.tracked);
        auto shared = std::make_shared<decltype(handler)>(std::move(handler));
        entry->Complete = [executor, shared](std::exception_ptr error, bool result) {
            asio::post(executor, [shared, error, result]() mutable { std::move(*shared)(error, result); });
        };
        Enqueue(std::move(entry));
    };
    return asio::async_initiate<CompletionToken, void(std::exception_ptr, bool)>(
        std::move(initiate), token, std::move(operation), client);
}
