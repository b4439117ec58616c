#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>

// A first-come-first-served lock. One card transaction occupies the printer
// from card-in to eject, so every caller of the device (requests, the test
// dialog, start-up and shut-down) holds this for a whole operation; the
// ticket order keeps a burst of requests from starving any one of them.
class TFairLock {
public:
    void lock();
    void unlock();
    // Callers holding or waiting for the lock.
    uint64_t Queued() const;

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_turn;
    uint64_t m_nextTicket = 0;
    uint64_t m_serving = 0;
};

// The one lock in front of CurrentMemberDevice. Also held while the options
// dialog applies new member options, so a card operation never reads half
// of a change.
extern TFairLock DeviceLock;
