#pragma once

#include "member/DeviceQueue.h"

#include <condition_variable>
#include <mutex>
#include <thread>

// Holds the device thread in a turn of its own for as long as it lives, as a
// long card transaction would: whatever is queued meanwhile waits behind it.
// The constructor returns once the turn has begun.
class TDeviceHold {
public:
    explicit TDeviceHold(TDeviceQueue& queue = DeviceQueue);
    ~TDeviceHold();
    TDeviceHold(const TDeviceHold&) = delete;
    TDeviceHold& operator=(const TDeviceHold&) = delete;

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_begun = false;
    bool m_released = false;
    std::thread m_thread;
};
