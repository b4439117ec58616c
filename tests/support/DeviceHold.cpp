#include "support/DeviceHold.h"

TDeviceHold::TDeviceHold(TDeviceQueue& queue)
{
    m_thread = std::thread([this, &queue] {
        queue.RunTurn([this] {
            std::unique_lock lock(m_mutex);
            m_begun = true;
            m_changed.notify_all();
            m_changed.wait(lock, [this] { return m_released; });
        });
    });
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [this] { return m_begun; });
}

TDeviceHold::~TDeviceHold()
{
    {
        std::scoped_lock lock(m_mutex);
        m_released = true;
    }
    m_changed.notify_all();
    m_thread.join();
}
