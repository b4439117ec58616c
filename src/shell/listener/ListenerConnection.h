#pragma once

#include "member/ClientConnection.h"
#include "shell/listener/RequestLineReader.h"

#include <asio.hpp>

#include <functional>
#include <memory>
#include <string>

class TConnectionSet;

// Runs once per connection with the request line as received (empty when the
// client left before a zero byte arrived).
using TConnectionProcedure = std::function<asio::awaitable<void>(TClientConnection& connection, std::string requestLine)>;

// One accepted connection, served by one coroutine on the strand of its
// socket: read the request line, run the connection procedure, close. Only
// that strand ever touches the socket, so a write can never race a close.
// Waiting costs no thread: for its line, or for its turn at the device.
class TListenerConnection : public TClientConnection, public std::enable_shared_from_this<TListenerConnection> {
public:
    TListenerConnection(std::shared_ptr<asio::io_context> io, asio::ip::tcp::socket socket,
        std::shared_ptr<TConnectionSet> set, std::shared_ptr<const TConnectionProcedure> procedure);

    // Called on the I/O thread right after the connection joined the set.
    void Start();

    // When the listener stops: a connection still waiting for its line is
    // closed; one whose request is being handled goes on (its device step,
    // if still queued, is dropped by the device queue). The work is done on
    // the connection's own strand.
    void Abort();

    asio::awaitable<void> Write(std::string bytes) override;
    void StepQueued() override;

private:
    enum class TLineRead { Complete, Partial, Failed };

    asio::awaitable<void> Serve();
    asio::awaitable<TLineRead> ReadRequestLine(std::string& line);
    asio::awaitable<void> WatchClient();
    void Close();

    // Declared first so the I/O context outlives the socket, also for a
    // request still queued after the listener has gone.
    std::shared_ptr<asio::io_context> m_io;
    asio::ip::tcp::socket m_socket;
    std::shared_ptr<TConnectionSet> m_set;
    std::shared_ptr<const TConnectionProcedure> m_procedure;
    TRequestLineReader m_reader;
    // Fired when the client resets the connection while its request waits:
    // the device step, not yet begun, is then dropped.
    asio::cancellation_signal m_clientGone;
    bool m_handling = false;
    bool m_watching = false;
    bool m_closed = false;
};
