#include "member/DeviceQueue.h"

#include "member/ClientConnection.h"

#include <future>
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
        case TDeviceQueueError::ClientGone:
            return "the client had gone when the device step would have begun";
        case TDeviceQueueError::TimedOut:
            return "the request waited too long for the device";
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

TDeviceQueue::~TDeviceQueue()
{
    EndThread();
}

void TDeviceQueue::EndThread()
{
    {
        std::scoped_lock lock(m_mutex);
        m_ending = true;
    }
    m_arrived.notify_all();
    if (m_thread.joinable()) {
        m_thread.join();
    }
    std::scoped_lock lock(m_mutex);
    m_ending = false;
}

void TDeviceQueue::Enqueue(std::shared_ptr<TEntry> entry)
{
    entry->Queued = TClock::now();
    {
        std::scoped_lock lock(m_mutex);
        if (entry->Request && m_refusingRequests) {
            // Completed outside the lock: a completion may take it again.
        } else {
            m_requests += entry->Request ? 1 : 0;
            m_entries.push_back(entry);
            if (!m_thread.joinable()) {
                m_thread = std::thread([this] { Serve(); });
            }
            entry.reset();
        }
    }
    if (entry) {
        Drop(*entry, TDeviceQueueError::Stopped);
        return;
    }
    m_arrived.notify_one();
}

std::error_code TDeviceQueue::Refusal(const TEntry& entry) const
{
    if (!entry.Request) {
        return {};
    }
    if (m_refusingRequests) {
        return TDeviceQueueError::Stopped;
    }
    if (m_queueTimeout.count() > 0 && TClock::now() - entry.Queued > m_queueTimeout) {
        return TDeviceQueueError::TimedOut;
    }
    if (entry.Client != nullptr && entry.Client->Gone()) {
        return TDeviceQueueError::ClientGone;
    }
    return {};
}

void TDeviceQueue::Serve()
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_arrived.wait(lock, [this] { return m_ending || !m_entries.empty(); });
        if (m_entries.empty()) {
            return;
        }
        std::shared_ptr<TEntry> entry = std::move(m_entries.front());
        m_entries.pop_front();
        const bool request = entry->Request;
        // Decided under the lock that StopRequests takes: a stop either
        // comes first and drops the request, or comes after it has begun.
        const std::error_code refusal = Refusal(*entry);
        m_busy = !refusal;
        lock.unlock();
        if (refusal) {
            Drop(*entry, static_cast<TDeviceQueueError>(refusal.value()));
        } else {
            std::exception_ptr error;
            bool result = false;
            try {
                result = entry->Job();
            } catch (...) {
                error = std::current_exception();
            }
            // Free again before anyone hears of the result, so whoever asks
            // after an answer never finds its transaction still counted.
            lock.lock();
            m_busy = false;
            lock.unlock();
            entry->Complete(error, result);
        }
        // Freed before a request counts as ended: its completion holds an
        // executor of the I/O context that waits for it.
        entry.reset();
        lock.lock();
        RequestsEnded(request ? 1 : 0);
    }
}

void TDeviceQueue::Drop(TEntry& entry, TDeviceQueueError reason)
{
    entry.Complete(std::make_exception_ptr(std::system_error(make_error_code(reason))), false);
}

void TDeviceQueue::RunTurn(const std::function<void()>& work)
{
    std::promise<void> done;
    auto entry = std::make_shared<TEntry>();
    entry->Job = [&work] {
        work();
        return true;
    };
    entry->Complete = [&done](std::exception_ptr error, bool) {
        if (error) {
            done.set_exception(error);
        } else {
            done.set_value();
        }
    };
    Enqueue(std::move(entry));
    done.get_future().get();
}

void TDeviceQueue::StopRequests()
{
    std::deque<std::shared_ptr<TEntry>> dropped;
    {
        std::scoped_lock lock(m_mutex);
        m_refusingRequests = true;
        for (auto it = m_entries.begin(); it != m_entries.end();) {
            if ((*it)->Request) {
                dropped.push_back(std::move(*it));
                it = m_entries.erase(it);
            } else {
                ++it;
            }
        }
    }
    // In arrival order, outside the lock: each drop only posts.
    for (const std::shared_ptr<TEntry>& entry : dropped) {
        Drop(*entry, TDeviceQueueError::Stopped);
    }
    const size_t count = dropped.size();
    dropped.clear();
    std::scoped_lock lock(m_mutex);
    RequestsEnded(count);
}

void TDeviceQueue::RequestsEnded(size_t count)
{
    m_requests -= count;
    if (count > 0 && m_requests == 0) {
        m_requestsEnded.notify_all();
    }
}

void TDeviceQueue::WaitForRequests()
{
    std::unique_lock lock(m_mutex);
    m_requestsEnded.wait(lock, [this] { return m_requests == 0; });
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

void TDeviceQueue::SetQueueTimeout(std::chrono::seconds timeout)
{
    std::scoped_lock lock(m_mutex);
    m_queueTimeout = timeout;
}

bool UseCurrentDevice(const TDeviceQueue::TOperation& operation)
{
    bool result = false;
    DeviceQueue.RunTurn([&] {
        TBaseMember* device = CurrentMemberDevice;
        result = device != nullptr && operation(*device);
    });
    return result;
}

void RetireCurrentDevice()
{
    DeviceQueue.RunTurn([] { CurrentMemberDevice = nullptr; });
    DeviceQueue.EndThread();
}
