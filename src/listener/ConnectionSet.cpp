#include "listener/ConnectionSet.h"

#include "listener/ServedConnection.h"

void TConnectionSet::Add(const std::shared_ptr<TServedConnection>& connection)
{
    std::scoped_lock lock(m_mutex);
    m_connections.emplace(connection.get(), connection);
}

void TConnectionSet::Remove(const TServedConnection* connection)
{
    std::shared_ptr<TServedConnection> last;
    {
        std::scoped_lock lock(m_mutex);
        const auto it = m_connections.find(connection);
        if (it == m_connections.end()) {
            return;
        }
        // Released outside the lock: the connection may be freed right here.
        last = std::move(it->second);
        m_connections.erase(it);
        if (m_connections.empty()) {
            m_emptied.notify_all();
        }
    }
}

void TConnectionSet::AbortAll()
{
    std::scoped_lock lock(m_mutex);
    for (const auto& entry : m_connections) {
        entry.second->Abort();
    }
}

bool TConnectionSet::WaitUntilEmpty(std::chrono::steady_clock::time_point deadline)
{
    std::unique_lock lock(m_mutex);
    return m_emptied.wait_until(lock, deadline, [&] { return m_connections.empty(); });
}

size_t TConnectionSet::Count() const
{
    std::scoped_lock lock(m_mutex);
    return m_connections.size();
}
