#pragma once

#include "member/DeviceQueue.h"

#include <asio.hpp>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>

// The listener's two threads. One serves: it runs the I/O context on its
// own, so a request is read, handled and answered without a hand-over
// between threads. The other stands by and serves alongside while a card
// transaction holds the serving thread, so the other clients are still
// accepted, read and answered meanwhile; it leaves again once the
// transaction is over. Two threads taking turns at every event instead
// cost each request several wake-ups of the other thread.
//
// The standby thread comes at once when the serving thread's last
// transaction was slow (a printer is attached), and otherwise as soon as it
// notices one running for kLook; while transactions come it looks that
// often, and after kRest without any it sleeps until the next begins.
class TIoThreads : private TDeviceStepWatch {
public:
    static constexpr std::chrono::milliseconds kLook {2};
    static constexpr std::chrono::seconds kRest {1};
    // A transaction at least this long was the printer's, not a device that
    // answers at once.
    static constexpr std::chrono::microseconds kSlowStep {100};

    explicit TIoThreads(std::shared_ptr<asio::io_context> io);
    // Joins, when Join has not.
    ~TIoThreads();
    TIoThreads(const TIoThreads&) = delete;
    TIoThreads& operator=(const TIoThreads&) = delete;

    void Start();
    // Waits until the I/O context has run out of work or was stopped, then
    // ends the standby thread.
    void Join();

private:
    using TClock = std::chrono::steady_clock;

    void Serve();
    void StandBy();
    // Serves alongside until the serving thread's transaction is over.
    void StepIn();
    void StepBegins() noexcept override;
    void StepEnds() noexcept override;

    static int64_t Now();
    static int64_t Ticks(TClock::duration duration) { return duration.count(); }

    std::shared_ptr<asio::io_context> m_io;
    // When the serving thread's device step began, in steady-clock ticks;
    // 0 while it is in none.
    std::atomic<int64_t> m_stepSince {0};
    // How long its last device step took, in ticks.
    std::atomic<int64_t> m_lastStep {0};
    // Device steps begun on the serving thread so far.
    std::atomic<uint64_t> m_steps {0};
    // The standby thread sleeps until a step begins.
    std::atomic<bool> m_resting {false};
    std::mutex m_mutex;
    std::condition_variable m_wake;
    // Under m_mutex: a slow transaction has begun; come at once.
    bool m_called = false;
    bool m_ending = false;
    std::thread m_serving;
    std::thread m_standby;
};
