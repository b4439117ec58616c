#include "shell/listener/ThreadCache.h"

#include <thread>

TThreadCache::TThreadCache(std::chrono::milliseconds linger)
    : m_linger(linger)
{
}

void TThreadCache::Run(std::function<void()> job)
{
    {
        std::scoped_lock lock(m_mutex);
        if (!m_shutdown && m_idle > m_jobs.size()) {
            m_jobs.push_back(std::move(job));
            m_wake.notify_one();
            return;
        }
    }
    std::thread([self = shared_from_this(), job = std::move(job)]() mutable { self->Work(std::move(job)); }).detach();
}

void TThreadCache::Shutdown()
{
    std::scoped_lock lock(m_mutex);
    m_shutdown = true;
    m_wake.notify_all();
}

size_t TThreadCache::IdleThreads() const
{
    std::scoped_lock lock(m_mutex);
    return m_idle;
}

void TThreadCache::Work(std::function<void()> job)
{
    for (;;) {
        job();
        job = nullptr;

        std::unique_lock lock(m_mutex);
        ++m_idle;
        // A job pushed before the wait times out is always found here: Run
        // hands one over only while this thread still counts as idle.
        m_wake.wait_for(lock, m_linger, [&] { return !m_jobs.empty() || m_shutdown; });
        --m_idle;
        if (m_jobs.empty()) {
            return;
        }
        job = std::move(m_jobs.front());
        m_jobs.pop_front();
    }
}
