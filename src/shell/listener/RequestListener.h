#pragma once

#include "shell/listener/IoThreads.h"
#include "shell/listener/ListenerConnection.h"

#include <asio.hpp>

#include <cstdint>
#include <memory>
#include <optional>
#include <stdexcept>

class TConnectionSet;
class TInfoSink;

// Raised by Stop when connections outlive the wait for them.
class ETerminateThreadTimeout : public std::runtime_error {
public:
    ETerminateThreadTimeout();
};

// The member port's TCP server. One I/O thread accepts and serves every
// connection as a coroutine on a strand of its own; requests wait for the
// device in the device queue, so the number of threads stays the same
// however many clients wait. A card transaction runs on the thread of the
// connection that asked for it, and a second thread serves the others
// while it does.
class TRequestListener {
public:
    TRequestListener(TInfoSink* InfoMemo, TConnectionProcedure procedure);
    // Stops a listener that is still active; a second time-out is swallowed
    // and the remaining connections are left to finish on their own.
    ~TRequestListener();
    TRequestListener(const TRequestListener&) = delete;
    TRequestListener& operator=(const TRequestListener&) = delete;

    // Appends the start line, then binds 0.0.0.0:port with a queue of 15.
    // Throws std::runtime_error with the socket layer's message; the listener
    // then stays inactive for good.
    void Start(int32_t port);

    // Stops accepting, drops every request whose device step has not begun,
    // closes the connections still waiting for their lines and waits up to
    // 5000 ms for a transaction already running, then appends the stop
    // line. Throws ETerminateThreadTimeout (and stays active) when some
    // connection does not end in time.
    void Stop();

    bool Active() const { return m_active; }
    // The port actually bound; differs from the one asked for only for 0.
    uint16_t LocalPort() const { return m_localPort; }
    size_t LiveConnections() const;

private:
    asio::awaitable<void> Accept();
    void Connect(asio::ip::tcp::socket socket);

    TInfoSink* m_infoMemo;
    std::shared_ptr<const TConnectionProcedure> m_procedure;
    std::shared_ptr<asio::io_context> m_io;
    asio::ip::tcp::acceptor m_acceptor;
    // Keeps the I/O thread alive while active, also when nothing is pending.
    std::optional<asio::executor_work_guard<asio::io_context::executor_type>> m_work;
    std::shared_ptr<TConnectionSet> m_connections;
    TIoThreads m_ioThreads;
    bool m_active = false;
    uint16_t m_localPort = 0;
};
