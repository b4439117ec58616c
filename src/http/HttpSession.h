#pragma once

#include "base/Asio.h"
#include "member/ClientConnection.h"
#include "http/HttpServer.h"
#include "listener/ServedConnection.h"

#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>

#include <atomic>
#include <memory>

// One HTTP connection: reads one request within the server's limits, lets
// the API answer it, writes the answer and closes. A coroutine on the I/O
// thread from start to end.
class THttpSession : public TRequestClient,
                     public TServedConnection,
                     public std::enable_shared_from_this<THttpSession> {
public:
    THttpSession(std::shared_ptr<asio::io_context> io, asio::ip::tcp::socket socket,
        std::shared_ptr<THttpServer::TShared> shared);

    // Called on the I/O thread right after the session joined the set.
    void Start();

    // Closes the connection at once, whatever it is doing; a request
    // waiting for the printer has been dropped before.
    void Abort() override;

    // HTTP clients never half-close: the end of the stream, a reset or a
    // socket error all mean nobody will read the answer.
    bool Gone() const override;

private:
    using TRequest = boost::beast::http::request<boost::beast::http::string_body>;
    using TParser = boost::beast::http::request_parser<boost::beast::http::string_body>;

    asio::awaitable<void> Serve();
    // The rest of a request whose header took headerBytes. Gives what went
    // wrong: header_limit for a trailer that makes header and trailer
    // together longer than the limit, bad_chunk for a chunk-size line
    // longer than kMaxChunkLine, or whatever reading or parsing reported.
    asio::awaitable<boost::system::error_code> ReadBody(TParser& parser, size_t headerBytes);
    asio::awaitable<void> Reply(THttpAnswer answer, bool head);
    THttpRequest ApiRequest(const TRequest& request) const;

    // Declared first so the I/O context outlives the socket.
    std::shared_ptr<asio::io_context> m_io;
    boost::beast::tcp_stream m_stream;
    std::shared_ptr<THttpServer::TShared> m_shared;
    // Holds only what the parser has not taken yet, within a fixed bound.
    boost::beast::flat_buffer m_buffer;
    const asio::ip::tcp::socket::native_handle_type m_handle;
    std::string m_peer;
    // Set on the I/O thread; read by Gone on the device thread too.
    std::atomic<bool> m_closed {false};
};
