#pragma once

#include <httplib.h>

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

// The HTTP server's connections, served by a fixed number of threads with
// a fixed number waiting. The server's accepting thread hands every
// accepted connection in here; when the waiting line is full it is held
// back until a place frees, and further clients wait in the system's listen
// queue, so threads and open connections both stay bounded however many
// clients come. (The library's own pool takes every connection it is
// given.)
class TBoundedTaskQueue : public httplib::TaskQueue {
public:
    // stopping, once set, lets a held-back connection in at once, so the
    // server can end while the line is full; it must outlive the queue.
    TBoundedTaskQueue(size_t threads, size_t waiting, const std::atomic<bool>& stopping);
    ~TBoundedTaskQueue() override;
    TBoundedTaskQueue(const TBoundedTaskQueue&) = delete;
    TBoundedTaskQueue& operator=(const TBoundedTaskQueue&) = delete;

    void enqueue(std::function<void()> fn) override;
    // Serves what is waiting, then joins the threads.
    void shutdown() override;

private:
    void Work();

    const size_t m_capacity;
    const std::atomic<bool>& m_stopping;
    std::mutex m_mutex;
    std::condition_variable m_jobAdded;
    std::condition_variable m_placeFreed;
    std::deque<std::function<void()>> m_jobs;
    bool m_shutdown = false;
    std::vector<std::thread> m_threads;
};
