#pragma once

#include "base/Asio.h"
#include "http/HttpApi.h"

#include <chrono>
#include <cstdint>
#include <future>
#include <memory>
#include <string>

class TConnectionSet;
class TIoThread;

// The HTTP server that carries the API, on the one I/O thread beside the
// member port: one coroutine per connection, one request per connection.
// Nothing here waits for the printer but the card requests themselves, so
// health and every refusal are answered whatever the device queue holds.
class THttpServer {
public:
    // Connections the system holds before the server takes them.
    static constexpr int kListenQueue = 64;
    // The whole request, from the connection on; a client that has not sent
    // it by then is closed.
    static constexpr std::chrono::seconds kRequestTime {10};
    // Writing the answer.
    static constexpr std::chrono::seconds kWriteTime {10};
    // A chunk-size line (the size and any extensions) longer than this is
    // refused: a hexadecimal size has at most 16 digits, and nothing here
    // uses extensions.
    static constexpr size_t kMaxChunkLine = 256;
    // Card requests waiting for the printer at once; more are answered 503.
    static constexpr size_t kMaxWaiting = 64;
    // What a refused client is told to wait before it tries again.
    static constexpr int kRetryAfterSeconds = 5;

    explicit THttpServer(std::shared_ptr<const THttpApi> api);
    // Stops a server that is still running.
    ~THttpServer();
    THttpServer(const THttpServer&) = delete;
    THttpServer& operator=(const THttpServer&) = delete;

    // Binds address:port (port 0: any free one) and starts serving. Throws
    // std::runtime_error naming the address when it cannot bind.
    void Start(const std::string& address, uint16_t port);

    // Closes the listening socket and every connection at once. Requests
    // still waiting for the printer must have been dropped first
    // (TDeviceQueue::StopRequests). Not on the I/O thread.
    void Close();
    // True when every session has ended by deadline.
    bool WaitForSessions(std::chrono::steady_clock::time_point deadline);
    // Close, then wait up to 5000 ms for a card transaction still running
    // for one of the sessions.
    void Stop();

    bool Running() const { return m_running; }
    uint16_t LocalPort() const { return m_localPort; }

    // Shared with the connections, which may outlive a stop's wait.
    struct TShared {
        std::shared_ptr<const THttpApi> Api;
        std::shared_ptr<TConnectionSet> Sessions;
        // Card requests waiting for, or at, the printer; I/O thread only.
        size_t Waiting = 0;
    };

private:
    asio::awaitable<void> Accept();

    std::shared_ptr<TShared> m_shared;
    std::shared_ptr<TIoThread> m_ioThread;
    std::shared_ptr<asio::io_context> m_io;
    asio::ip::tcp::acceptor m_acceptor;
    std::shared_future<void> m_acceptEnded;
    bool m_running = false;
    uint16_t m_localPort = 0;
};
