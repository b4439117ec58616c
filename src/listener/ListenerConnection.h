#pragma once

#include "base/Asio.h"
#include "member/ClientConnection.h"
#include "listener/RequestLineReader.h"
#include "listener/ServedConnection.h"

#include <chrono>
#include <functional>
#include <atomic>
#include <memory>
#include <string>

class TConnectionSet;

// Runs once per connection with the request line as received (empty when the
// client left before a zero byte arrived).
using TConnectionProcedure = std::function<asio::awaitable<void>(TClientConnection& connection, std::string requestLine)>;

// One accepted member-port connection, served by one coroutine on the I/O
// thread: read the request line, run the connection procedure, close.
// Waiting costs no thread: for its line, or for its turn at the device.
class TListenerConnection : public TClientConnection,
                            public TServedConnection,
                            public std::enable_shared_from_this<TListenerConnection> {
public:
    // requestTimeout: how long the client has to complete its request
    // (zero: no limit).
    TListenerConnection(std::shared_ptr<asio::io_context> io, asio::ip::tcp::socket socket,
        std::shared_ptr<TConnectionSet> set, std::shared_ptr<const TConnectionProcedure> procedure,
        std::chrono::seconds requestTimeout);

    // Called on the I/O thread right after the connection joined the set.
    void Start();

    void Abort() override;
    asio::awaitable<void> Write(std::string bytes) override;
    // A reset or a socket error; the end of the client's stream is not:
    // closing its sending side after the zero byte is legal.
    bool Gone() const override;

private:
    enum class TLineRead { Complete, Partial, Failed };

    asio::awaitable<void> Serve();
    asio::awaitable<TLineRead> ReadRequestLine(std::string& line);
    void Close();

    // Declared first so the I/O context outlives the socket, also for a
    // request still queued after the listener has gone.
    std::shared_ptr<asio::io_context> m_io;
    asio::ip::tcp::socket m_socket;
    std::shared_ptr<TConnectionSet> m_set;
    std::shared_ptr<const TConnectionProcedure> m_procedure;
    TRequestLineReader m_reader;
    std::chrono::seconds m_requestTimeout;
    // Closes a client that keeps its request unfinished too long.
    asio::steady_timer m_deadline;
    // For Gone, which runs on the device thread and must not touch the
    // socket object.
    const asio::ip::tcp::socket::native_handle_type m_handle;
    bool m_handling = false;
    // Set on the I/O thread; read by Gone on the device thread too.
    std::atomic<bool> m_closed {false};
};
