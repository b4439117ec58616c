#pragma once

#include "base/Asio.h"

#include <memory>
#include <optional>
#include <thread>

// The one I/O thread that serves the member port and the HTTP API: every
// connection of both is a coroutine on its I/O context, so a waiting client
// costs a small frame and no thread. Card transactions never run here (see
// TDeviceQueue), so nothing holds the thread up for longer than an event.
//
// Shared by whoever serves: the first to ask starts it, and it ends when
// the last owner lets go of it.
class TIoThread {
public:
    static std::shared_ptr<TIoThread> Acquire();

    // Waits for the device steps that complete here, then gives up whatever
    // is still pending and joins the thread. Must run on neither thread.
    ~TIoThread();
    TIoThread(const TIoThread&) = delete;
    TIoThread& operator=(const TIoThread&) = delete;

    // Shared, so a connection whose transaction outlives its listener keeps
    // the context its completion will be posted to.
    const std::shared_ptr<asio::io_context>& Context() const { return m_io; }

private:
    TIoThread();

    std::shared_ptr<asio::io_context> m_io;
    // Keeps the thread serving while nothing is pending.
    std::optional<asio::executor_work_guard<asio::io_context::executor_type>> m_work;
    std::thread m_thread;
};
