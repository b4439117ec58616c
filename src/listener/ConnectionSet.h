#pragma once

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <unordered_map>

class TServedConnection;

// The live connections of a server (the member port's or the HTTP API's).
// A connection joins when it is accepted and leaves when it has been closed; the stop closes them all and waits for
// the set to empty.
class TConnectionSet {
public:
    void Add(const std::shared_ptr<TServedConnection>& connection);
    void Remove(const TServedConnection* connection);
    void AbortAll();
    // True when the set is empty by deadline.
    bool WaitUntilEmpty(std::chrono::steady_clock::time_point deadline);
    size_t Count() const;

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_emptied;
    std::unordered_map<const TServedConnection*, std::shared_ptr<TServedConnection>> m_connections;
};
