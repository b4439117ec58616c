#include "listener/ListenerConnection.h"

#include "base/SocketPlatform.h"
#include "listener/ConnectionSet.h"
#include "member/DeviceQueue.h"

#include <array>
#include <cassert>

TListenerConnection::TListenerConnection(std::shared_ptr<asio::io_context> io, asio::ip::tcp::socket socket,
    std::shared_ptr<TConnectionSet> set, std::shared_ptr<const TConnectionProcedure> procedure,
    std::chrono::seconds requestTimeout)
    : m_io(std::move(io))
    , m_socket(std::move(socket))
    , m_set(std::move(set))
    , m_procedure(std::move(procedure))
    , m_requestTimeout(requestTimeout)
    , m_deadline(m_socket.get_executor())
    , m_handle(m_socket.native_handle())
{
}

void TListenerConnection::Start()
{
    assert(m_io->get_executor().running_in_this_thread());
    boost::system::error_code ignored;
    m_socket.non_blocking(true, ignored);
    if (m_requestTimeout.count() > 0) {
        m_deadline.expires_after(m_requestTimeout);
        m_deadline.async_wait([self = shared_from_this()](const boost::system::error_code& error) {
            // Closed without a byte; the read then fails and ends the
            // connection. A request already complete is not cut short.
            if (!error && !self->m_handling) {
                self->Close();
            }
        });
    }
    asio::co_spawn(m_socket.get_executor(), [self = shared_from_this()] { return self->Serve(); }, asio::detached);
}

asio::awaitable<void> TListenerConnection::Serve()
{
    std::string line;
    const TLineRead read = co_await ReadRequestLine(line);
    m_deadline.cancel();
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
        // Read and used up within one step, so one buffer serves every
        // connection. Tried before waiting: a client usually sends its
        // request right after connecting, so the bytes are often there
        // already.
        thread_local std::array<char, TRequestLineReader::kMaxRequestLine + 1> chunk;
        boost::system::error_code error;
        const size_t n = m_closed ? 0 : m_socket.read_some(asio::buffer(chunk), error);
        if (m_closed) {
            co_return TLineRead::Failed;
        }
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

bool TListenerConnection::Gone() const
{
    assert(DeviceQueue.OnDeviceThread());
    return m_closed || SocketPlatform::PeerGone(m_handle, false);
}

asio::awaitable<void> TListenerConnection::Write(std::string bytes)
{
    if (m_closed) {
        throw boost::system::system_error(asio::error::not_connected);
    }
    // An answer fits the socket's send buffer nearly always: written here
    // at once, and only what is left waits for the socket to take it.
    boost::system::error_code error;
    size_t written = m_socket.write_some(asio::buffer(bytes), error);
    if (error == asio::error::would_block || error == asio::error::try_again) {
        written = 0;
    } else if (error) {
        throw boost::system::system_error(error);
    }
    if (written < bytes.size()) {
        co_await asio::async_write(m_socket, asio::buffer(bytes) + written, asio::use_awaitable);
    }
}

void TListenerConnection::Abort()
{
    if (!m_handling) {
        Close();
    }
}

void TListenerConnection::Close()
{
    if (m_closed) {
        return;
    }
    m_closed = true;
    m_deadline.cancel();
    boost::system::error_code ignored;
    // The client sees the end of the stream right after the response.
    m_socket.shutdown(asio::socket_base::shutdown_send, ignored);
    m_socket.close(ignored);
}
