#include "shell/listener/ListenerConnection.h"

#include "base/SocketPlatform.h"
#include "shell/listener/ConnectionSet.h"

#include <array>
#include <system_error>

TListenerConnection::TListenerConnection(std::shared_ptr<asio::io_context> io, asio::ip::tcp::socket socket,
    std::shared_ptr<TConnectionSet> set, std::shared_ptr<const TConnectionProcedure> procedure)
    : m_io(std::move(io))
    , m_socket(std::move(socket))
    , m_set(std::move(set))
    , m_procedure(std::move(procedure))
{
}

void TListenerConnection::Start()
{
    std::error_code ignored;
    m_socket.non_blocking(true, ignored);
    // A step of its own, after the accepting one and on the same thread: a
    // request served right inside the accepting step would hold up
    // accepting for as long as its card transaction takes.
    asio::defer(m_socket.get_executor(), [self = shared_from_this()] {
        asio::co_spawn(self->m_socket.get_executor(), [self] { return self->Serve(); },
            asio::bind_cancellation_slot(self->m_clientGone.slot(), asio::detached));
    });
}

asio::awaitable<void> TListenerConnection::Serve()
{
    std::string line;
    const TLineRead read = co_await ReadRequestLine(line);
    if (read != TLineRead::Failed) {
        if (read == TLineRead::Partial) {
            // The client left after part of a line: its request is handled
            // as an empty one, and the answer cannot reach it any more.
            Close();
        }
        m_handling = true;
        try {
            co_await (*m_procedure)(*this, std::move(line));
        } catch (...) {
            // Whatever went wrong with this one request ends here, unseen:
            // the client sees its connection close and the listener goes on.
        }
    }
    Close();
    m_set->Remove(this);
}

asio::awaitable<TListenerConnection::TLineRead> TListenerConnection::ReadRequestLine(std::string& line)
{
    for (;;) {
        // Read and used up within one step, so one buffer per I/O thread
        // serves every connection. Tried before waiting: a client usually
        // sends its request right after connecting, so the bytes are often
        // there already.
        thread_local std::array<char, TRequestLineReader::kMaxRequestLine + 1> chunk;
        std::error_code error;
        const size_t n = m_socket.read_some(asio::buffer(chunk), error);
        if (error == asio::error::would_block || error == asio::error::try_again) {
            // Waiting for readiness instead of reading into a buffer of our
            // own keeps an idle connection down to its socket and this
            // object.
            co_await m_socket.async_wait(
                asio::socket_base::wait_read, asio::redirect_error(asio::use_awaitable, error));
            if (error || m_closed) {
                co_return TLineRead::Failed;
            }
            continue;
        }
        if (error == asio::error::eof) {
            co_return m_reader.ReceivedAny() ? TLineRead::Partial : TLineRead::Failed;
        }
        if (error) {
            co_return TLineRead::Failed;
        }
        switch (m_reader.Feed(std::string_view(chunk.data(), n))) {
        case TRequestLineReader::TStatus::NeedMore:
            break;
        case TRequestLineReader::TStatus::TooLong:
            co_return TLineRead::Failed;
        case TRequestLineReader::TStatus::Complete:
            line = m_reader.TakeLine();
            co_return TLineRead::Complete;
        }
    }
}

asio::awaitable<void> TListenerConnection::WatchClient()
{
    // While the request is handled, a reset or any other socket error means
    // nobody will read the answer. The end of the client's stream does not:
    // closing its sending side after the zero byte is legal, and so are
    // bytes after it (they are no request and stay unread). Waiting for an
    // error condition alone costs no read and wakes on neither.
    for (;;) {
        std::error_code error;
        co_await m_socket.async_wait(SocketPlatform::ClientGoneWait(), asio::redirect_error(asio::use_awaitable, error));
        if (m_closed || error == asio::error::operation_aborted) {
            co_return;
        }
        if (error) {
            // Windows reports the reset as the wait's own failure; the end of
            // the client's stream may come as one too, and is no reason to
            // drop the request.
            if (error == asio::error::connection_reset || error == asio::error::connection_aborted) {
                m_clientGone.emit(asio::cancellation_type::terminal);
            }
            co_return;
        }
        char probe = 0;
        const size_t peeked = m_socket.receive(asio::buffer(&probe, 1), asio::socket_base::message_peek, error);
        if (error == asio::error::eof) {
            // The client's stream has ended; only our answer is left to go.
            co_return;
        }
        if (!error && peeked > 0) {
            // Bytes after the request wait unread, and would wake the wait
            // again at once; the answer's write will tell whether anyone
            // is left to read it.
            co_return;
        }
        if (error && error != asio::error::would_block && error != asio::error::try_again
            && error != asio::error::interrupted) {
            m_clientGone.emit(asio::cancellation_type::terminal);
            co_return;
        }
    }
}

asio::awaitable<void> TListenerConnection::Write(std::string bytes)
{
    if (m_closed) {
        throw std::system_error(asio::error::not_connected);
    }
    // An answer fits the socket's send buffer nearly always: written here
    // at once, and only what is left waits for the socket to take it.
    std::error_code error;
    size_t written = m_socket.write_some(asio::buffer(bytes), error);
    if (error == asio::error::would_block || error == asio::error::try_again) {
        written = 0;
    } else if (error) {
        throw std::system_error(error);
    }
    if (written < bytes.size()) {
        co_await asio::async_write(m_socket, asio::buffer(bytes) + written, asio::use_awaitable);
    }
}

void TListenerConnection::StepQueued()
{
    // With the printer free the step runs at once and nothing needs
    // watching; only a step that waits can still be dropped.
    if (m_closed || m_watching) {
        return;
    }
    m_watching = true;
    asio::co_spawn(
        m_socket.get_executor(), [self = shared_from_this()] { return self->WatchClient(); }, asio::detached);
}

void TListenerConnection::Abort()
{
    asio::dispatch(m_socket.get_executor(), [self = shared_from_this()] {
        if (!self->m_handling) {
            self->Close();
        }
    });
}

void TListenerConnection::Close()
{
    if (m_closed) {
        return;
    }
    m_closed = true;
    std::error_code ignored;
    // The client sees the end of the stream right after the response.
    m_socket.shutdown(asio::socket_base::shutdown_send, ignored);
    m_socket.close(ignored);
}
