#include "member/DeviceQueue.h"

#include <condition_variable>
#include <string>

TDeviceQueue DeviceQueue;

namespace {

thread_local TDeviceStepWatch* ThreadStepWatch = nullptr;

// Spans a request's device step for the watch of its thread, if any.
class TStepSpan {
public:
    TStepSpan()
        : m_watch(ThreadStepWatch)
    {
        if (m_watch != nullptr) {
            m_watch->StepBegins();
        }
    }
    ~TStepSpan()
    {
        if (m_watch != nullptr) {
            m_watch->StepEnds();
        }
    }
    TStepSpan(const TStepSpan&) = delete;
    TStepSpan& operator=(const TStepSpan&) = delete;

private:
    TDeviceStepWatch* m_watch;
};

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

bool TDeviceQueue::Enqueue(const std::shared_ptr<TEntry>& entry)
{
    // Decided under the lock and acted on after it: once the entry waits in
    // the list, a stop or a cancellation may take it on another thread at
    // any moment, so its fields are no longer this thread's to read.
    enum class TNext { Wait, Begin, Drop } next = TNext::Wait;
    {
        std::scoped_lock lock(m_mutex);
        if (entry->Job && m_refusingRequests) {
            entry->Waiting = false;
            next = TNext::Drop;
        } else if (m_busy) {
            entry->Place = m_entries.insert(m_entries.end(), entry);
        } else {
            m_busy = true;
            entry->Waiting = false;
            next = TNext::Begin;
        }
    }
    if (next == TNext::Begin) {
        Begin(entry);
    } else if (next == TNext::Drop) {
        Drop(entry, TDeviceQueueError::Stopped);
    }
    return next == TNext::Wait;
}

std::optional<bool> TDeviceQueue::TryRun(const TOperation& operation)
{
    {
        std::scoped_lock lock(m_mutex);
        // Not busy means nothing waits either: the last turn to finish
        // would have handed the device on.
        if (m_busy || m_refusingRequests) {
            return std::nullopt;
        }
        m_busy = true;
    }
    // Also when operation throws, the next turn is handed on.
    struct TFinishOnExit {
        TDeviceQueue& Queue;
        ~TFinishOnExit() { Queue.Finish(); }
    } finishOnExit {*this};
    const TStepSpan span;
    TBaseMember* device = CurrentMemberDevice;
    return device != nullptr && operation(*device);
}

void TDeviceQueue::Begin(const std::shared_ptr<TEntry>& entry)
{
    if (!entry->Job) {
        entry->StartTurn();
        return;
    }
    // Deferred rather than run here: the caller finishes what it is doing
    // first (the request that asked, or the completion of the step before),
    // and then the same thread carries the step out.
    asio::defer(entry->Executor, [this, entry] { Run(entry); });
}

void TDeviceQueue::Run(const std::shared_ptr<TEntry>& entry)
{
    std::exception_ptr error;
    bool result = false;
    try {
        const TStepSpan span;
        result = entry->Job();
    } catch (...) {
        error = std::current_exception();
    }
    // The next turn is handed on before this request goes on, so the
    // printer never waits for an answer to be written.
    Finish();
    entry->Complete(error, result);
}

void TDeviceQueue::Finish()
{
    std::shared_ptr<TEntry> next;
    {
        std::scoped_lock lock(m_mutex);
        if (m_entries.empty()) {
            m_busy = false;
            return;
        }
        next = std::move(m_entries.front());
        m_entries.pop_front();
        next->Waiting = false;
    }
    Begin(next);
}

void TDeviceQueue::Drop(const std::shared_ptr<TEntry>& entry, TDeviceQueueError reason)
{
    asio::post(entry->Executor, [entry, reason] {
        entry->Complete(std::make_exception_ptr(std::system_error(make_error_code(reason))), false);
    });
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
    Drop(entry, TDeviceQueueError::Cancelled);
}

void TDeviceQueue::StopRequests()
{
    std::list<std::shared_ptr<TEntry>> dropped;
    {
        std::scoped_lock lock(m_mutex);
        m_refusingRequests = true;
        for (auto it = m_entries.begin(); it != m_entries.end();) {
            const auto next = std::next(it);
            if ((*it)->Job) {
                (*it)->Waiting = false;
                dropped.splice(dropped.end(), m_entries, it);
            }
            it = next;
        }
    }
    // In arrival order, outside the lock: each drop only posts.
    for (const std::shared_ptr<TEntry>& entry : dropped) {
        Drop(entry, TDeviceQueueError::Stopped);
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
    return m_entries.size() + (m_busy ? 1 : 0);
}

struct TDeviceTurn::TState {
    std::mutex Mutex;
    std::condition_variable Started;
    bool Begun = false;
};

TDeviceTurn::TDeviceTurn(TDeviceQueue& queue)
    : m_queue(queue)
    , m_state(std::make_shared<TState>())
{
    auto entry = std::make_shared<TDeviceQueue::TEntry>();
    entry->StartTurn = [state = m_state] {
        std::scoped_lock lock(state->Mutex);
        state->Begun = true;
        state->Started.notify_all();
    };
    queue.Enqueue(entry);
    std::unique_lock lock(m_state->Mutex);
    m_state->Started.wait(lock, [this] { return m_state->Begun; });
}

TDeviceTurn::~TDeviceTurn()
{
    m_queue.Finish();
}

void WatchDeviceStepsOnThisThread(TDeviceStepWatch* watch)
{
    ThreadStepWatch = watch;
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
