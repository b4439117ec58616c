#pragma once

#include "member/BaseMemberUnit.h"

#include <asio.hpp>

#include <cstddef>
#include <exception>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <optional>
#include <system_error>

// Why a request's device step never ran.
enum class TDeviceQueueError {
    // Requests were stopped (the program is ending) before its turn came.
    Stopped = 1,
    // Its cancellation slot fired (the client went away) before its turn.
    Cancelled,
};
const std::error_category& DeviceQueueCategory();
std::error_code make_error_code(TDeviceQueueError error);
template <>
struct std::is_error_code_enum<TDeviceQueueError> : std::true_type { };

// The one way to the member device. The printer runs one card transaction at
// a time, from card-in to eject, so every user of CurrentMemberDevice takes
// its turn here, first come first served: requests, the test dialog,
// start-up, shut-down and the options dialog's change of settings.
//
// Requests wait as entries in a list, not as threads. When its turn comes, a
// request's device step runs on its own executor (the thread that serves
// its connection) and its coroutine goes on right there, so an idle printer
// costs a request no hand-over between threads; the listener keeps another
// thread for everything else while a transaction runs. A step that has not
// started can be dropped (the program stops, the client went away); one
// that has started always runs to its end.
class TDeviceQueue {
public:
    using TOperation = std::function<bool(TBaseMember& device)>;

    TDeviceQueue() = default;
    TDeviceQueue(const TDeviceQueue&) = delete;
    TDeviceQueue& operator=(const TDeviceQueue&) = delete;

    // A request's device step: once every earlier turn is over, operation
    // runs with CurrentMemberDevice on the handler's executor, and the
    // result (false when there is no device) completes the handler there.
    // Completes with a std::system_error of TDeviceQueueError when dropped
    // first; an exception thrown by operation is passed on. queued, when
    // given, is called right away on the calling thread if the step has to
    // wait behind earlier turns (the only time a cancellation can matter).
    template <typename CompletionToken>
    auto AsyncRun(TOperation operation, std::function<void()> queued, CompletionToken&& token);

    // A request's device step right here, when the device is free, nobody
    // waits and requests are accepted: runs operation with
    // CurrentMemberDevice on the calling thread and gives its result (false
    // when there is no device). Nothing, and nothing done, otherwise; the
    // step then goes through AsyncRun. Spares a free printer's request the
    // trip through its executor's queue, the usual case.
    std::optional<bool> TryRun(const TOperation& operation);

    // Drops every request step still waiting and every one queued from now
    // on, until AcceptRequests; turns are not affected.
    void StopRequests();
    void AcceptRequests();

    // Requests and turns waiting or running.
    size_t Queued() const;

private:
    friend class TDeviceTurn;

    struct TEntry {
        // A request's step; empty for a turn.
        std::function<bool()> Job;
        // Called once, on Executor.
        std::function<void(std::exception_ptr error, bool result)> Complete;
        asio::any_io_executor Executor;
        // A turn's: tells its thread that the device is its own now.
        std::function<void()> StartTurn;
        bool Waiting = true;
        std::list<std::shared_ptr<TEntry>>::iterator Place;
    };

    // True when the entry waits behind earlier turns.
    bool Enqueue(const std::shared_ptr<TEntry>& entry);
    void Cancel(const std::shared_ptr<TEntry>& entry);
    // The device is free again: the next entry's turn begins, if any.
    void Finish();
    void Begin(const std::shared_ptr<TEntry>& entry);
    void Run(const std::shared_ptr<TEntry>& entry);
    static void Drop(const std::shared_ptr<TEntry>& entry, TDeviceQueueError reason);

    mutable std::mutex m_mutex;
    std::list<std::shared_ptr<TEntry>> m_entries;
    // An entry's turn has begun and not yet finished.
    bool m_busy = false;
    bool m_refusingRequests = false;
};

// A turn at the device for the calling thread: the constructor waits until
// every earlier turn and request step is over, and no other starts until the
// destructor. The user-interface thread runs its device calls under one.
class TDeviceTurn {
public:
    explicit TDeviceTurn(TDeviceQueue& queue);
    ~TDeviceTurn();
    TDeviceTurn(const TDeviceTurn&) = delete;
    TDeviceTurn& operator=(const TDeviceTurn&) = delete;

private:
    struct TState;
    TDeviceQueue& m_queue;
    std::shared_ptr<TState> m_state;
};

// Told when a request's device step begins and ends on a thread it watches:
// a card transaction may hold that thread for seconds, which matters to a
// thread that serves many clients. Called on the watched thread.
class TDeviceStepWatch {
public:
    virtual ~TDeviceStepWatch() = default;
    virtual void StepBegins() noexcept = 0;
    virtual void StepEnds() noexcept = 0;
};

// From now on the device steps run on the calling thread are told to watch
// (none: no longer told).
void WatchDeviceStepsOnThisThread(TDeviceStepWatch* watch);

// The process's queue in front of CurrentMemberDevice.
extern TDeviceQueue DeviceQueue;

// Runs operation with CurrentMemberDevice in a turn of its own; false when
// there is no device.
bool UseCurrentDevice(const TDeviceQueue::TOperation& operation);

// Takes CurrentMemberDevice away in turn, after everything queued before, so
// no later step finds a device that is about to be freed.
void RetireCurrentDevice();

template <typename CompletionToken>
auto TDeviceQueue::AsyncRun(TOperation operation, std::function<void()> queued, CompletionToken&& token)
{
    auto initiate = [this](auto handler, TOperation operation, std::function<void()> queued) {
        auto entry = std::make_shared<TEntry>();
        entry->Job = [operation = std::move(operation)] {
            TBaseMember* device = CurrentMemberDevice;
            return device != nullptr && operation(*device);
        };
        // Tracked, so the handler's I/O context does not run out of work
        // while the step waits its turn.
        entry->Executor = asio::prefer(
            asio::get_associated_executor(handler), asio::execution::outstanding_work.tracked);
        auto slot = asio::get_associated_cancellation_slot(handler);
        auto shared = std::make_shared<decltype(handler)>(std::move(handler));
        entry->Complete = [shared](std::exception_ptr error, bool result) {
            // Emitted and cleared on the handler's executor only, so the two
            // never race.
            auto completedSlot = asio::get_associated_cancellation_slot(*shared);
            if (completedSlot.is_connected()) {
                completedSlot.clear();
            }
            std::move (*shared)(error, result);
        };
        if (slot.is_connected()) {
            slot.assign([this, weak = std::weak_ptr<TEntry>(entry)](asio::cancellation_type) {
                if (const std::shared_ptr<TEntry> waiting = weak.lock()) {
                    Cancel(waiting);
                }
            });
        }
        if (Enqueue(entry) && queued) {
            queued();
        }
    };
    return asio::async_initiate<CompletionToken, void(std::exception_ptr, bool)>(
        std::move(initiate), token, std::move(operation), std::move(queued));
}
