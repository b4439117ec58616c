#include "shell/listener/ListenerConnection.h"

#include "base/SocketPlatform.h"
#include "shell/listener/ConnectionSet.h"
#include "shell/listener/ThreadCache.h"

#include <array>
#include <system_error>

TListenerConnection::TListenerConnection(std::shared_ptr<asio::io_context> io, asio::ip::tcp::socket socket,
    std::shared_ptr<TConnectionSet> set, std::shared_ptr<const TConnectionProcedure> procedure,
    std::shared_ptr<TThreadCache> threads)
    : m_io(std::move(io))
    , m_socket(std::move(socket))
    , m_set(std::move(set))
    , m_procedure(std::move(procedure))
    , m_threads(std::move(threads))
{
}

void TListenerConnection::Start()
{
    std::error_code ignored;
    m_socket.non_blocking(true, ignored);
    WaitForBytes();
}

void TListenerConnection::WaitForBytes()
{
    // Waiting for readiness instead of reading into a buffer of our own keeps
    // an idle connection down to its socket and this object.
    m_socket.async_wait(asio::socket_base::wait_read,
        [self = shared_from_this()](const std::error_code& error) { self->OnReadable(error); });
}

void TListenerConnection::OnReadable(const std::error_code& error)
{
    if (error) {
        Close();
        Finish();
        return;
    }
    // Only the I/O thread reads, so one buffer serves every connection.
    thread_local std::array<char, TRequestLineReader::kMaxRequestLine + 1> chunk;
    std::error_code readError;
    const size_t n = m_socket.read_some(asio::buffer(chunk), readError);
    if (readError == asio::error::would_block || readError == asio::error::try_again) {
        WaitForBytes();
        return;
    }
    if (readError == asio::error::eof) {
        // A client that leaves after part of a line still gets its request
        // handled, as an empty one; the answer cannot reach it any more.
        const bool partial = m_reader.ReceivedAny();
        Close();
        if (partial) {
            HandOver(std::string());
        } else {
            Finish();
        }
        return;
    }
    if (readError) {
        Close();
        Finish();
        return;
    }
    switch (m_reader.Feed(std::string_view(chunk.data(), n))) {
    case TRequestLineReader::TStatus::NeedMore:
        WaitForBytes();
        break;
    case TRequestLineReader::TStatus::TooLong:
        Close();
        Finish();
        break;
    case TRequestLineReader::TStatus::Complete:
        HandOver(m_reader.TakeLine());
        break;
    }
}

void TListenerConnection::HandOver(std::string requestLine)
{
    {
        std::scoped_lock lock(m_mutex);
        m_executing = true;
        if (!m_closed) {
            std::error_code ignored;
            m_socket.non_blocking(false, ignored);
        }
    }
    try {
        m_threads->Run([self = shared_from_this(), line = std::move(requestLine)] { self->Execute(line); });
    } catch (const std::system_error&) {
        // No thread to be had: the client sees the connection close.
        Close();
        Finish();
    }
}

void TListenerConnection::Execute(const std::string& requestLine)
{
    try {
        (*m_procedure)(*this, requestLine);
    } catch (...) {
        // Whatever went wrong with this one request ends here, unseen: the
        // client sees its connection close and the listener goes on.
    }
    Close();
    Finish();
}

void TListenerConnection::Write(std::string_view bytes)
{
    {
        std::scoped_lock lock(m_mutex);
        if (m_closed) {
            throw std::system_error(asio::error::not_connected);
        }
    }
    asio::write(m_socket, asio::buffer(bytes.data(), bytes.size()));
}

void TListenerConnection::Abort()
{
    std::scoped_lock lock(m_mutex);
    if (m_closed) {
        return;
    }
    if (m_executing) {
        // The procedure's thread owns the socket now; shutting the descriptor
        // down makes its writes fail without racing its own close.
        SocketPlatform::ShutdownBoth(m_socket.native_handle());
    } else {
        asio::post(*m_io, [self = shared_from_this()] { self->Close(); });
    }
}

void TListenerConnection::Close()
{
    std::scoped_lock lock(m_mutex);
    if (m_closed) {
        return;
    }
    m_closed = true;
    std::error_code ignored;
    // The client sees the end of the stream right after the response.
    m_socket.shutdown(asio::socket_base::shutdown_send, ignored);
    m_socket.close(ignored);
}

void TListenerConnection::Finish()
{
    m_set->Remove(this);
}
