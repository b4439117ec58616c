#pragma once

#include "shell/listener/ListenerConnection.h"

#include <asio.hpp>

#include <cstdint>
#include <memory>
#include <optional>
#include <stdexcept>
#include <thread>

class TConnectionSet;
class TThreadCache;
class TInfoSink;

// Raised by Stop when connections outlive the wait for them.
class ETerminateThreadTimeout : public std::runtime_error {
public:
    ETerminateThreadTimeout();
};

// The member port's TCP server. It accepts on a thread of its own and reads
// every connection asynchronously there; each complete request line is then
// handled on a thread of its own by the connection procedure.
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

    // Stops accepting, closes every live connection and waits up to 5000 ms
    // for them to end, then appends the stop line. Throws
    // ETerminateThreadTimeout (and stays active) when some do not end.
    void Stop();

    bool Active() const { return m_active; }
    // The port actually bound; differs from the one asked for only for 0.
    uint16_t LocalPort() const { return m_localPort; }
    size_t LiveConnections() const;

private:
    void Accept();
    void AcceptLater();

    TInfoSink* m_infoMemo;
    std::shared_ptr<const TConnectionProcedure> m_procedure;
    std::shared_ptr<asio::io_context> m_io;
    asio::ip::tcp::acceptor m_acceptor;
    asio::steady_timer m_retryTimer;
    // Keeps the I/O thread alive while active, also when nothing is pending.
    std::optional<asio::executor_work_guard<asio::io_context::executor_type>> m_work;
    std::shared_ptr<TConnectionSet> m_connections;
    std::shared_ptr<TThreadCache> m_threads;
    std::thread m_ioThread;
    bool m_active = false;
    uint16_t m_localPort = 0;
};
