#pragma once

#include "shell/http/HttpApi.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>

namespace httplib {
class Server;
}

// The HTTP server that carries the API: one accepting thread, a bounded
// pool of connection threads (see TBoundedTaskQueue), one request per
// connection, and time limits on every read and write.
class THttpServer {
public:
    static constexpr size_t kThreads = 8;
    static constexpr size_t kWaitingConnections = 32;
    // Connections the system holds before the server takes them.
    static constexpr int kListenQueue = 64;
    // A client that sends nothing for this long is closed, before its
    // request as in the middle of it.
    static constexpr int kIdleSeconds = 5;

    explicit THttpServer(std::shared_ptr<const THttpApi> api);
    // Stops a server that is still running.
    ~THttpServer();
    THttpServer(const THttpServer&) = delete;
    THttpServer& operator=(const THttpServer&) = delete;

    // Binds address:port (port 0: any free one) and starts serving. Throws
    // std::runtime_error naming the address when it cannot bind.
    void Start(const std::string& address, uint16_t port);

    // Closes the listening socket and waits for the connections being
    // served; ones not yet read are closed without an answer.
    void Stop();

    bool Running() const { return m_thread.joinable(); }
    uint16_t LocalPort() const { return m_localPort; }

private:
    std::shared_ptr<const THttpApi> m_api;
    std::unique_ptr<httplib::Server> m_server;
    std::atomic<bool> m_stopping {false};
    std::thread m_thread;
    uint16_t m_localPort = 0;
};
