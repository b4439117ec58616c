#include "shell/http/BoundedTaskQueue.h"

#include <chrono>

namespace {
// How often a held-back accepting thread looks at the stop flag, which is
// set without waking it.
constexpr auto kStopPoll = std::chrono::milliseconds(50);
} // namespace

TBoundedTaskQueue::TBoundedTaskQueue(size_t threads, size_t waiting, const std::atomic<bool>& stopping)
    : m_capacity(waiting)
    , m_stopping(stopping)
{
    for (size_t i = 0; i < threads; ++i) {
        m_threads.emplace_back([this] { Work(); });
    }
}

TBoundedTaskQueue::~TBoundedTaskQueue()
{
    shutdown();
}

void TBoundedTaskQueue::enqueue(std::function<void()> fn)
{
    {
        std::unique_lock lock(m_mutex);
        while (m_jobs.size() >= m_capacity && !m_stopping) {
            m_placeFreed.wait_for(lock, kStopPoll);
        }
        m_jobs.push_back(std::move(fn));
    }
    m_jobAdded.notify_one();
}

void TBoundedTaskQueue::shutdown()
{
    {
        std::scoped_lock lock(m_mutex);
        if (m_shutdown) {
            return;
        }
        m_shutdown = true;
    }
    m_jobAdded.notify_all();
    for (std::thread& thread : m_threads) {
        thread.join();
    }
}

void TBoundedTaskQueue::Work()
{
    for (;;) {
        std::function<void()> job;
        {
            std::unique_lock lock(m_mutex);
            m_jobAdded.wait(lock, [this] { return m_shutdown || !m_jobs.empty(); });
            if (m_jobs.empty()) {
                return;
            }
            job = std::move(m_jobs.front());
            m_jobs.pop_front();
        }
        m_placeFreed.notify_one();
        try {
            job();
        } catch (...) {
            // One connection's failure ends that connection, not the thread.
        }
    }
}
