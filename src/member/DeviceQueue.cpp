#include "member/DeviceQueue.h"

#include <string>

TDeviceQueue DeviceQueue;

namespace {

class TDeviceQueueCategory : public std::error_category {
public:
    const char* name() const noexcept override { return "device queue"; }
    std::string message(int value) const override
    {
        switch (static_cast<TDeviceQueueError>(value)) {
        case TDeviceQueueError::Stopped:
            return "requests were stopped before the device step began";
        case TDeviceQueueError::Cancelled:
            return "the device step was cancelled before it began";
        }
        return "device queue error";
    }
};

std::exception_ptr DroppedError(TDeviceQueueError reason)
{
    return std::make_exception_ptr(std::system_error(make_error_code(reason)));
}

} // namespace

const std::error_category& DeviceQueueCategory()
{
    static const TDeviceQueueCategory category;
    return category;
}

std::error_code make_error_code(TDeviceQueueError error)
{
    return {static_cast<int>(error), DeviceQueueCategory()};
}

TDeviceQueue::~TDeviceQueue()
{
    {
        std::scoped_lock lock(m_mutex);
        m_ending = true;
    }
    m_wake.notify_one();
    if (m_worker.joinable()) {
        m_worker.join();
    }
}

void TDeviceQueue::Enqueue(const std::shared_ptr<TEntry>& entry)
{
    bool wake = false;
    {
        std::scoped_lock lock(m_mutex);
        if (entry->Droppable && m_refusingRequests) {
            entry->Waiting = false;
        } else {
            entry->Place = m_entries.insert(m_entries.end(), entry);
            if (!m_worker.joinable()) {
                m_worker = std::thread([this] { Work(); });
            }
            wake = m_entries.size() == 1 && !m_running;
        }
    }
    if (!entry->Waiting) {
        entry->Complete(DroppedError(TDeviceQueueError::Stopped), false);
    } else if (wake) {
        // Only the worker ever waits here, and only on an empty list; woken
        // outside the lock so it does not wake into a held mutex.
        m_wake.notify_one();
    }
}

void TDeviceQueue::Cancel(const std::shared_ptr<TEntry>& entry)
{
    {
        std::scoped_lock lock(m_mutex);
        if (!entry->Waiting) {
            return;
        }
        entry->Waiting = false;
        m_entries.erase(entry->Place);
    }
    entry->Complete(DroppedError(TDeviceQueueError::Cancelled), false);
}

void TDeviceQueue::StopRequests()
{
    std::list<std::shared_ptr<TEntry>> dropped;
    {
        std::scoped_lock lock(m_mutex);
        m_refusingRequests = true;
        for (auto it = m_entries.begin(); it != m_entries.end();) {
            const auto next = std::next(it);
            if ((*it)->Droppable) {
                (*it)->Waiting = false;
                dropped.splice(dropped.end(), m_entries, it);
            }
            it = next;
        }
    }
    // In arrival order, outside the lock: each completion only posts.
    for (const std::shared_ptr<TEntry>& entry : dropped) {
        entry->Complete(DroppedError(TDeviceQueueError::Stopped), false);
    }
}

void TDeviceQueue::AcceptRequests()
{
    std::scoped_lock lock(m_mutex);
    m_refusingRequests = false;
}

size_t TDeviceQueue::Queued() const
{
    std::scoped_lock lock(m_mutex);
    return m_entries.size() + (m_running ? 1 : 0);
}

void TDeviceQueue::Work()
{
    for (;;) {
        std::shared_ptr<TEntry> entry;
        {
            std::unique_lock lock(m_mutex);
            m_wake.wait(lock, [this] { return m_ending || !m_entries.empty(); });
            if (m_ending) {
                return;
            }
            entry = std::move(m_entries.front());
            m_entries.pop_front();
            entry->Waiting = false;
            m_running = true;
        }
        std::exception_ptr error;
        bool result = false;
        try {
            result = entry->Job();
        } catch (...) {
            error = std::current_exception();
        }
        {
            std::scoped_lock lock(m_mutex);
            m_running = false;
        }
        entry->Complete(error, result);
    }
}

// Shared by a turn and its entry, which the worker may still be leaving
// after the turn has ended.
struct TDeviceTurn::TState {
    std::mutex Mutex;
    std::condition_variable Changed;
    bool Started = false;
    bool Finished = false;
};

TDeviceTurn::TDeviceTurn(TDeviceQueue& queue)
    : m_state(std::make_shared<TState>())
{
    auto entry = std::make_shared<TDeviceQueue::TEntry>();
    entry->Job = [state = m_state] {
        std::unique_lock lock(state->Mutex);
        state->Started = true;
        state->Changed.notify_all();
        state->Changed.wait(lock, [&] { return state->Finished; });
        return true;
    };
    entry->Complete = [](std::exception_ptr, bool) { };
    queue.Enqueue(entry);
    std::unique_lock lock(m_state->Mutex);
    m_state->Changed.wait(lock, [this] { return m_state->Started; });
}

TDeviceTurn::~TDeviceTurn()
{
    std::scoped_lock lock(m_state->Mutex);
    m_state->Finished = true;
    m_state->Changed.notify_all();
}

bool UseCurrentDevice(const TDeviceQueue::TOperation& operation)
{
    const TDeviceTurn turn(DeviceQueue);
    TBaseMember* device = CurrentMemberDevice;
    return device != nullptr && operation(*device);
}

void RetireCurrentDevice()
{
    const TDeviceTurn turn(DeviceQueue);
    CurrentMemberDevice = nullptr;
}
