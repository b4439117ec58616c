#pragma once

#include "member/ClientConnection.h"
#include "shell/listener/RequestLineReader.h"

#include <asio.hpp>

#include <functional>
#include <memory>
#include <mutex>
#include <string>

class TConnectionSet;
class TThreadCache;

// Runs once per connection on a thread of its own, with the request line as
// received (empty when the client left before a zero byte arrived).
using TConnectionProcedure = std::function<void(TClientConnection& connection, const std::string& requestLine)>;

// One accepted connection. While it waits for its request line it costs no
// thread: the listener's I/O thread is told when bytes arrive. Once the line
// is complete, the connection procedure runs on a thread of its own, and the
// connection is closed (sending side first) when it returns.
class TListenerConnection : public TClientConnection, public std::enable_shared_from_this<TListenerConnection> {
public:
    TListenerConnection(std::shared_ptr<asio::io_context> io, asio::ip::tcp::socket socket,
        std::shared_ptr<TConnectionSet> set, std::shared_ptr<const TConnectionProcedure> procedure,
        std::shared_ptr<TThreadCache> threads);

    // Called on the I/O thread right after the connection joined the set.
    void Start();

    // Stops the connection on the listener's behalf: a connection still
    // waiting for its line is closed; one whose procedure runs gets its
    // socket shut down, so the procedure's writes fail and it ends.
    void Abort();

    void Write(std::string_view bytes) override;

private:
    void WaitForBytes();
    void OnReadable(const std::error_code& error);
    void HandOver(std::string requestLine);
    void Execute(const std::string& requestLine);
    void Close();
    void Finish();

    // Declared first so the I/O context outlives the socket, also for a
    // procedure still running after the listener has gone.
    std::shared_ptr<asio::io_context> m_io;
    asio::ip::tcp::socket m_socket;
    std::shared_ptr<TConnectionSet> m_set;
    std::shared_ptr<const TConnectionProcedure> m_procedure;
    std::shared_ptr<TThreadCache> m_threads;
    TRequestLineReader m_reader;

    std::mutex m_mutex; // guards the two flags against Abort
    bool m_closed = false;
    bool m_executing = false;
};
