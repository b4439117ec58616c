#include "member/DeviceLock.h"

TFairLock DeviceLock;

void TFairLock::lock()
{
    std::unique_lock guard(m_mutex);
    const uint64_t ticket = m_nextTicket++;
    m_turn.wait(guard, [&] { return m_serving == ticket; });
}

void TFairLock::unlock()
{
    {
        std::scoped_lock guard(m_mutex);
        ++m_serving;
    }
    m_turn.notify_all();
}

uint64_t TFairLock::Queued() const
{
    std::scoped_lock guard(m_mutex);
    return m_nextTicket - m_serving;
}
