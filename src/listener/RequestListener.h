#pragma once

#include "base/Asio.h"
#include "listener/ListenerConnection.h"

#include <chrono>
#include <cstdint>
#include <future>
#include <memory>
#include <stdexcept>

class TConnectionSet;
class TInfoSink;
class TIoThread;

// Raised by a stop when connections outlive the wait for them.
class EStopTimeout : public std::runtime_error {
public:
    EStopTimeout();
};

// An accept failed for want of descriptors, buffers or memory (of the
// process or of the whole system): accepting again at once would only spin,
// so the accepting loops wait kAcceptBackOff first.
bool AcceptOutOfResources(const boost::system::error_code& error);
inline constexpr std::chrono::milliseconds kAcceptBackOff {100};

// How long a stop waits for the connections it has closed to end.
inline constexpr std::chrono::milliseconds kStopWait {5000};

// The member port's TCP server. It accepts and serves every connection as a
// coroutine on the one I/O thread; requests wait for the device in the
// device queue, so the number of threads stays the same however many
// clients wait.
class TRequestListener {
public:
    TRequestListener(TInfoSink* InfoMemo, TConnectionProcedure procedure);
    // Stops a listener that is still active; a second time-out is swallowed
    // and the remaining connections are left to finish on their own.
    ~TRequestListener();
    TRequestListener(const TRequestListener&) = delete;
    TRequestListener& operator=(const TRequestListener&) = delete;

    // Appends the start line, then binds 0.0.0.0:port with a queue of 15.
    // A client then has RequestTimeoutSec of SysOption to complete its
    // request. Throws std::runtime_error with the socket layer's message;
    // the listener then stays inactive for good. Whether requests reach
    // the device is the server's to decide (TMemberServer).
    void Start(int32_t port);

    // The parts of a stop, for a server that stops more than this port.
    // Close: stops accepting and closes the connections still waiting for
    // their lines; one whose request is being handled goes on to its
    // answer. Not on the I/O thread.
    void Close();
    // True when every connection has ended by deadline.
    bool WaitForConnections(std::chrono::steady_clock::time_point deadline);
    // The stop is complete: inactive from now on; appends the stop line.
    void Stopped();

    // Close, wait up to kStopWait, Stopped. Throws EStopTimeout (and stays
    // active) when some connection does not end in time.
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
    std::shared_ptr<TIoThread> m_ioThread;
    std::shared_ptr<asio::io_context> m_io;
    asio::ip::tcp::acceptor m_acceptor;
    std::shared_ptr<TConnectionSet> m_connections;
    std::chrono::seconds m_requestTimeout {0};
    // Set when the accepting coroutine has ended.
    std::shared_future<void> m_acceptEnded;
    bool m_active = false;
    uint16_t m_localPort = 0;
};
