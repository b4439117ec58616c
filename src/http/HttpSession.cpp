#include "http/HttpSession.h"

#include "base/SocketPlatform.h"
#include "listener/ConnectionSet.h"
#include "member/DeviceQueue.h"

#include <cassert>

#include <algorithm>
#include <cctype>
#include <string_view>

namespace beast = boost::beast;
namespace http = boost::beast::http;

namespace {

// What the parser has not taken yet is the header while it is incomplete,
// then at most one chunk-size line and the trailer, each refused past its
// bound; the body only passes through. So one connection holds no more than
// this, whatever it sends.
constexpr size_t kReadBuffer = THttpApi::kMaxHeader + THttpServer::kMaxChunkLine + 1024;

bool TimedOut(const boost::system::error_code& error)
{
    return error == beast::error::timeout;
}

// No Transfer-Encoding, or plain chunked. Any other coding (gzip, chunked)
// would have its body read as if it were plain JSON.
bool TransferCodingAccepted(const http::request<http::string_body>& request)
{
    return std::all_of(request.begin(), request.end(), [](const auto& field) {
        return field.name() != http::field::transfer_encoding || beast::iequals(field.value(), "chunked");
    });
}

enum class TChunkFraming { Fine, LineTooLong, TrailerTooLong };

// Judges the bytes waiting where a chunk's header begins, before the parser
// sees them: it keeps a chunk-size line whole however long it grows, and
// takes a trailer of any length. afterData: a chunk with data came before,
// so its closing CR LF comes first.
TChunkFraming CheckChunkHeader(std::string_view pending, bool afterData, size_t trailerRoom)
{
    if (afterData) {
        if (pending.size() < 2) {
            return TChunkFraming::Fine;
        }
        // Anything but CR LF there the parser refuses itself.
        pending.remove_prefix(2);
    }
    const size_t eol = pending.find("\r\n");
    if ((eol == std::string_view::npos ? pending.size() : eol) > THttpServer::kMaxChunkLine) {
        return TChunkFraming::LineTooLong;
    }
    if (eol == std::string_view::npos) {
        return TChunkFraming::Fine;
    }
    // Only the last chunk's size is all zeros; its line is followed by the
    // trailer, which ends with an empty line.
    const std::string_view line = pending.substr(0, eol);
    const size_t zeros = line.find_first_not_of('0');
    if (zeros == 0 || (zeros != std::string_view::npos && std::isxdigit(static_cast<unsigned char>(line[zeros])))) {
        return TChunkFraming::Fine;
    }
    const size_t end = pending.find("\r\n\r\n", eol);
    const size_t trailer = (end == std::string_view::npos ? pending.size() : end + 4) - (eol + 2);
    return trailer > trailerRoom ? TChunkFraming::TrailerTooLong : TChunkFraming::Fine;
}

} // namespace

THttpSession::THttpSession(
    std::shared_ptr<asio::io_context> io, asio::ip::tcp::socket socket, std::shared_ptr<THttpServer::TShared> shared)
    : m_io(std::move(io))
    , m_stream(std::move(socket))
    , m_shared(std::move(shared))
    , m_buffer(kReadBuffer)
    , m_handle(m_stream.socket().native_handle())
{
    boost::system::error_code error;
    const asio::ip::tcp::endpoint peer = m_stream.socket().remote_endpoint(error);
    if (!error) {
        m_peer = peer.address().to_string();
    }
}

void THttpSession::Start()
{
    assert(m_io->get_executor().running_in_this_thread());
    asio::co_spawn(m_stream.get_executor(), [self = shared_from_this()] { return self->Serve(); }, asio::detached);
}

THttpRequest THttpSession::ApiRequest(const TRequest& request) const
{
    THttpRequest api;
    api.Method = std::string(request.method_string());
    const std::string_view target = request.target();
    api.Path = std::string(target.substr(0, target.find('?')));
    for (const auto& field : request) {
        api.Headers.emplace_back(std::string(field.name_string()), std::string(field.value()));
    }
    api.RemoteAddress = m_peer;
    return api;
}

asio::awaitable<void> THttpSession::Serve()
{
    const std::shared_ptr<const THttpApi> api = m_shared->Api;
    http::request_parser<http::string_body> parser;
    parser.header_limit(static_cast<std::uint32_t>(THttpApi::kMaxHeader));
    parser.body_limit(THttpApi::kMaxBody);
    // One deadline for the whole request: a client trickling bytes gains
    // nothing by sending them one at a time.
    m_stream.expires_after(THttpServer::kRequestTime);

    boost::system::error_code error;
    const size_t headerBytes = co_await http::async_read_header(
        m_stream, m_buffer, parser, asio::redirect_error(asio::use_awaitable, error));
    THttpRequest request = ApiRequest(parser.get());
    const bool head = request.Method == "HEAD";
    if (!error && !TransferCodingAccepted(parser.get())) {
        co_await Reply(api->TransportError(request, 501), false);
    } else if (error == http::error::header_limit) {
        co_await Reply(api->TransportError(request, 431), false);
    } else if (error == http::error::body_limit) {
        // A declared length over the limit is refused with the header.
        co_await Reply(api->TransportError(request, 413), false);
    } else if (error && error != http::error::end_of_stream && !TimedOut(error) && !m_closed
        && error != asio::error::connection_reset && error != asio::error::eof) {
        co_await Reply(api->TransportError(request, 400), false);
    } else if (!error) {
        if (std::optional<THttpAnswer> answer = api->AnswerBeforeBody(request)) {
            co_await Reply(*std::move(answer), head);
        } else {
            if (beast::iequals(parser.get()[http::field::expect], "100-continue")) {
                http::response<http::empty_body> proceed {http::status::continue_, parser.get().version()};
                co_await http::async_write(m_stream, proceed, asio::redirect_error(asio::use_awaitable, error));
            }
            if (!error) {
                error = co_await ReadBody(parser, headerBytes);
            }
            if (error == http::error::body_limit) {
                co_await Reply(api->TransportError(request, 413), false);
            } else if (error == http::error::header_limit) {
                co_await Reply(api->TransportError(request, 431), false);
            } else if (!error) {
                request.Body = std::move(parser.get().body());
                // Whatever the client sends from here on is read away by
                // Gone; nothing needs the buffer while the request waits.
                m_buffer.clear();
                m_buffer.shrink_to_fit();
                // From here on the printer sets the pace; the request is
                // complete and its client may wait as long as it likes.
                m_stream.expires_never();
                if (m_shared->Waiting >= THttpServer::kMaxWaiting) {
                    THttpAnswer busy = api->TransportError(request, 503);
                    busy.Headers.emplace_back("Retry-After", std::to_string(THttpServer::kRetryAfterSeconds));
                    co_await Reply(std::move(busy), false);
                } else {
                    ++m_shared->Waiting;
                    THttpAnswer answer;
                    try {
                        answer = co_await api->AnswerWithBody(request, this);
                    } catch (...) {
                        answer = api->TransportError(request, 500);
                    }
                    --m_shared->Waiting;
                    co_await Reply(std::move(answer), false);
                }
            } else if (!TimedOut(error) && !m_closed && error != asio::error::connection_reset
                && error != asio::error::eof && error != http::error::end_of_stream) {
                co_await Reply(api->TransportError(request, 400), false);
            }
        }
    }
    Abort();
    m_shared->Sessions->Remove(this);
}

asio::awaitable<boost::system::error_code> THttpSession::ReadBody(TParser& parser, size_t headerBytes)
{
    const size_t trailerRoom = THttpApi::kMaxHeader - std::min(headerBytes, THttpApi::kMaxHeader);
    // One step at a time, so the bytes where a chunk's header begins are
    // judged before the parser takes them; the chunk's data it takes as
    // they come.
    parser.eager(false);
    std::uint64_t chunkLeft = 0;
    bool afterData = false;
    auto chunkHeader = [&](std::uint64_t size, beast::string_view, boost::system::error_code&) {
        chunkLeft = size;
        afterData = afterData || size > 0;
    };
    // Held by reference: the parser is fed nowhere after this returns.
    parser.on_chunk_header(chunkHeader);

    boost::system::error_code error;
    for (;;) {
        while (m_buffer.size() > 0 && !parser.is_done()) {
            if (parser.chunked() && chunkLeft == 0) {
                const std::string_view pending(static_cast<const char*>(m_buffer.data().data()), m_buffer.size());
                switch (CheckChunkHeader(pending, afterData, trailerRoom)) {
                case TChunkFraming::LineTooLong:
                    co_return http::error::bad_chunk;
                case TChunkFraming::TrailerTooLong:
                    co_return http::error::header_limit;
                case TChunkFraming::Fine:
                    break;
                }
            }
            const std::uint64_t dataBefore = chunkLeft;
            const size_t used = parser.put(m_buffer.data(), error);
            m_buffer.consume(used);
            // A step that began inside a chunk took only its data.
            if (dataBefore > 0) {
                chunkLeft -= std::min<std::uint64_t>(used, dataBefore);
            }
            if (error == http::error::need_more) {
                break;
            }
            if (error) {
                co_return error;
            }
            if (used == 0) {
                break;
            }
        }
        if (parser.is_done()) {
            co_return boost::system::error_code();
        }
        // The checks above keep what waits well under the bound; a full
        // buffer would be a parser that takes nothing.
        if (m_buffer.size() >= m_buffer.max_size()) {
            co_return http::error::buffer_overflow;
        }
        const size_t n = co_await m_stream.async_read_some(
            m_buffer.prepare(m_buffer.max_size() - m_buffer.size()), asio::redirect_error(asio::use_awaitable, error));
        m_buffer.commit(n);
        if (error) {
            co_return error;
        }
    }
}

asio::awaitable<void> THttpSession::Reply(THttpAnswer answer, bool head)
{
    if (m_closed) {
        co_return;
    }
    http::response<http::string_body> response;
    response.result(static_cast<unsigned>(answer.Status));
    response.version(11);
    // One request per connection: bytes of a body the API did not read (a
    // refused request's, say) can never be taken for a further request.
    response.keep_alive(false);
    for (const auto& [name, value] : answer.Headers) {
        response.insert(name, value);
    }
    if (!answer.Body.empty() && !answer.Header("Content-Type")) {
        response.set(http::field::content_type, "application/json; charset=utf-8");
    }
    response.content_length(answer.Body.size());
    if (!head) {
        response.body() = std::move(answer.Body);
    }
    m_stream.expires_after(THttpServer::kWriteTime);
    boost::system::error_code error;
    co_await http::async_write(m_stream, response, asio::redirect_error(asio::use_awaitable, error));
}

bool THttpSession::Gone() const
{
    assert(DeviceQueue.OnDeviceThread());
    return m_closed || SocketPlatform::PeerGone(m_handle, true);
}

void THttpSession::Abort()
{
    if (m_closed) {
        return;
    }
    m_closed = true;
    boost::system::error_code ignored;
    m_stream.socket().shutdown(asio::socket_base::shutdown_send, ignored);
    m_stream.socket().close(ignored);
}
