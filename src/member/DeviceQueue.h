#pragma once

#include "member/BaseMemberUnit.h"

#include <asio.hpp>

#include <condition_variable>
#include <cstddef>
#include <exception>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>

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
// Requests wait as entries in a list, not as threads: their device steps run
// on the queue's one worker thread, and the waiting coroutine costs only its
// frame. A step that has not started can be dropped (the program stops, the
// client went away); one that has started always runs to its end.
class TDeviceQueue {
public:
    using TOperation = std::function<bool(TBaseMember& device)>;

    TDeviceQueue() = default;
    // Lets the worker finish what is queued, then joins it.
    ~TDeviceQueue();
    TDeviceQueue(const TDeviceQueue&) = delete;
    TDeviceQueue& operator=(const TDeviceQueue&) = delete;

    // A request's device step: operation runs on the worker with
    // CurrentMemberDevice once every earlier turn is over, and the result
    // (false when there is no device) reaches the completion handler on its
    // own executor. Completes with a std::system_error of TDeviceQueueError
    // when dropped first; an exception thrown by operation is passed on.
    template <typename CompletionToken>
    auto AsyncRun(TOperation operation, CompletionToken&& token);

    // Drops every request step still waiting and every one queued from now
    // on, until AcceptRequests; turns are not affected.
    void StopRequests();
    void AcceptRequests();

    // Requests and turns waiting or running.
    size_t Queued() const;

private:
    friend class TDeviceTurn;

    struct TEntry {
        // Runs on the worker; the result goes to Complete.
        std::function<bool()> Job;
        // Called once, on the worker or whoever dropped the entry.
        std::function<void(std::exception_ptr error, bool result)> Complete;
        bool Droppable = false;
        bool Waiting = true;
        std::list<std::shared_ptr<TEntry>>::iterator Place;
    };

    void Enqueue(const std::shared_ptr<TEntry>& entry);
    void Cancel(const std::shared_ptr<TEntry>& entry);
    void Work();

    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::list<std::shared_ptr<TEntry>> m_entries;
    bool m_running = false;
    bool m_refusingRequests = false;
    bool m_ending = false;
    // Started with the first entry, so it never exists before main has
    // blocked the shut-down signals for every thread.
    std::thread m_worker;
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
    std::shared_ptr<TState> m_state;
};

// The process's queue in front of CurrentMemberDevice.
extern TDeviceQueue DeviceQueue;

// Runs operation with CurrentMemberDevice in a turn of its own; false when
// there is no device.
bool UseCurrentDevice(const TDeviceQueue::TOperation& operation);

// Takes CurrentMemberDevice away in turn, after everything queued before, so
// no later step finds a device that is about to be freed.
void RetireCurrentDevice();

template <typename CompletionToken>
auto TDeviceQueue::AsyncRun(TOperation operation, CompletionToken&& token)
{
    auto initiate = [this](auto handler, TOperation operation) {
        auto entry = std::make_shared<TEntry>();
        entry->Droppable = true;
        entry->Job = [operation = std::move(operation)] {
            TBaseMember* device = CurrentMemberDevice;
            return device != nullptr && operation(*device);
        };
        auto slot = asio::get_associated_cancellation_slot(handler);
        // Keeps the handler's executor (the listener's I/O context, say)
        // from running out of work while the step waits its turn.
        auto executor = asio::prefer(asio::get_associated_executor(handler), asio::execution::outstanding_work.tracked);
        auto shared = std::make_shared<decltype(handler)>(std::move(handler));
        entry->Complete = [shared, executor](std::exception_ptr error, bool result) {
            asio::post(executor, [shared, error, result] {
                // The slot is emitted and cleared on the handler's own
                // executor only, so the two never race.
                auto completedSlot = asio::get_associated_cancellation_slot(*shared);
                if (completedSlot.is_connected()) {
                    completedSlot.clear();
                }
                std::move (*shared)(error, result);
            });
        };
        if (slot.is_connected()) {
            slot.assign([this, weak = std::weak_ptr<TEntry>(entry)](asio::cancellation_type) {
                if (const std::shared_ptr<TEntry> waiting = weak.lock()) {
                    Cancel(waiting);
                }
            });
        }
        Enqueue(entry);
    };
    return asio::async_initiate<CompletionToken, void(std::exception_ptr, bool)>(
        std::move(initiate), token, std::move(operation));
}
