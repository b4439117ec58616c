#include "http/HttpSession.h"

#include "base/SocketPlatform.h"
#include "listener/ConnectionSet.h"

#include <cassert>

namespace beast = boost::beast;
namespace http = boost::beast::http;

namespace {

bool TimedOut(const boost::system::error_code& error)
{
    return error == beast::error::timeout;
}

} // namespace

THttpSession::THttpSession(
    std::shared_ptr<asio::io_context> io, asio::ip::tcp::socket socket, std::shared_ptr<THttpServer::TShared> shared)
    : m_io(std::move(io))
    , m_stream(std::move(socket))
    , m_shared(std::move(shared))
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
    co_await http::async_read_header(m_stream, m_buffer, parser, asio::redirect_error(asio::use_awaitable, error));
    THttpRequest request = ApiRequest(parser.get());
    const bool head = request.Method == "HEAD";
    if (error == http::error::header_limit) {
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
                co_await http::async_read(m_stream, m_buffer, parser, asio::redirect_error(asio::use_awaitable, error));
            }
            if (error == http::error::body_limit) {
                co_await Reply(api->TransportError(request, 413), false);
            } else if (!error) {
                request.Body = std::move(parser.get().body());
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
