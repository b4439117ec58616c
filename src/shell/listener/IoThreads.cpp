#include "shell/listener/IoThreads.h"

TIoThreads::TIoThreads(std::shared_ptr<asio::io_context> io)
    : m_io(std::move(io))
{
}

TIoThreads::~TIoThreads()
{
    Join();
}

void TIoThreads::Start()
{
    {
        std::scoped_lock lock(m_mutex);
        m_ending = false;
    }
    m_serving = std::thread([this] { Serve(); });
    m_standby = std::thread([this] { StandBy(); });
}

void TIoThreads::Join()
{
    if (m_serving.joinable()) {
        m_serving.join();
    }
    {
        std::scoped_lock lock(m_mutex);
        m_ending = true;
    }
    m_wake.notify_all();
    if (m_standby.joinable()) {
        m_standby.join();
    }
}

void TIoThreads::Serve()
{
    WatchDeviceStepsOnThisThread(this);
    m_io->run();
    WatchDeviceStepsOnThisThread(nullptr);
}

void TIoThreads::StandBy()
{
    std::unique_lock lock(m_mutex);
    uint64_t seen = m_steps.load();
    int64_t lastSeen = Now();
    while (!m_ending) {
        if (m_called) {
            m_called = false;
            lock.unlock();
            StepIn();
            lock.lock();
            continue;
        }
        const uint64_t steps = m_steps.load();
        if (steps != seen) {
            seen = steps;
            lastSeen = Now();
        }
        if (Now() - lastSeen >= Ticks(kRest)) {
            // Quiet: nothing to look at until a step begins. The flag is
            // raised before the count is looked at again, and a beginning
            // step counts before it looks at the flag, so either this
            // thread sees the new step or the step wakes it.
            m_resting = true;
            m_wake.wait(lock, [&] { return m_ending || m_called || m_steps.load() != seen; });
            m_resting = false;
            continue;
        }
        m_wake.wait_for(lock, kLook, [&] { return m_ending || m_called; });
        const int64_t since = m_stepSince.load();
        if (!m_ending && !m_called && since != 0 && Now() - since >= Ticks(kLook)) {
            lock.unlock();
            StepIn();
            lock.lock();
        }
    }
}

void TIoThreads::StepIn()
{
    // One event at a time, so the thread leaves soon after the transaction
    // is over; Asio hands the reactor back to the serving thread.
    while (m_stepSince.load() != 0 && !m_io->stopped()) {
        m_io->run_one_for(kLook);
    }
    // What the last event here handed on to be done next was queued
    // without waking anyone: this thread would have done it in a run of
    // its own. Posted from outside, a step wakes the serving thread, which
    // may be waiting for events, and it does the work left behind.
    asio::post(*m_io, [] { });
}

void TIoThreads::StepBegins() noexcept
{
    m_stepSince = Now();
    ++m_steps;
    const bool slow = m_lastStep.load() >= Ticks(kSlowStep);
    if (slow || m_resting) {
        std::scoped_lock lock(m_mutex);
        m_called = m_called || slow;
        m_wake.notify_one();
    }
}

void TIoThreads::StepEnds() noexcept
{
    m_lastStep = Now() - m_stepSince.load();
    m_stepSince = 0;
}

int64_t TIoThreads::Now()
{
    // Never 0 in practice: the steady clock counts from boot or earlier.
    return TClock::now().time_since_epoch().count();
}
