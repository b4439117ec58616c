#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>

// Runs every job on a thread of its own, with no limit on how many run at
// once. A thread whose job is done waits a short while for the next one
// instead of ending, so a burst of requests does not pay for creating and
// tearing down a thread (and its conversion descriptors) per request; after
// the burst the idle threads end by themselves.
class TThreadCache : public std::enable_shared_from_this<TThreadCache> {
public:
    explicit TThreadCache(std::chrono::milliseconds linger);

    // Throws std::system_error when no new thread can be had.
    void Run(std::function<void()> job);

    // Idle threads end now; busy ones end when their job is done.
    void Shutdown();

    size_t IdleThreads() const;

private:
    void Work(std::function<void()> job);

    const std::chrono::milliseconds m_linger;
    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    // Jobs handed to idle threads that have not picked them up yet.
    std::deque<std::function<void()>> m_jobs;
    size_t m_idle = 0;
    bool m_shutdown = false;
};
