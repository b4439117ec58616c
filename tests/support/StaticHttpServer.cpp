#include "support/StaticHttpServer.h"

#include "base/Asio.h"

#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>

#include <fstream>
#include <sstream>

namespace beast = boost::beast;
namespace http = boost::beast::http;

struct TStaticHttpServer::TState {
    std::string Folder;
    asio::io_context Io;
    asio::ip::tcp::acceptor Acceptor {Io};
};

namespace {

std::string TypeOf(const std::string& path)
{
    if (path.ends_with(".html")) {
        return "text/html; charset=utf-8";
    }
    if (path.ends_with(".js")) {
        return "text/javascript; charset=utf-8";
    }
    return "application/octet-stream";
}

asio::awaitable<void> Serve(asio::ip::tcp::socket socket, std::string folder)
{
    beast::tcp_stream stream(std::move(socket));
    beast::flat_buffer buffer;
    http::request<http::string_body> request;
    boost::system::error_code error;
    co_await http::async_read(stream, buffer, request, asio::redirect_error(asio::use_awaitable, error));
    if (error) {
        co_return;
    }
    http::response<http::string_body> response {http::status::not_found, request.version()};
    std::string target(request.target().substr(0, request.target().find('?')));
    if (target.find("..") == std::string::npos) {
        std::ifstream file(folder + target, std::ios::binary);
        if (file) {
            std::ostringstream content;
            content << file.rdbuf();
            response.result(http::status::ok);
            response.set(http::field::content_type, TypeOf(target));
            response.body() = content.str();
        }
    }
    response.keep_alive(false);
    response.prepare_payload();
    co_await http::async_write(stream, response, asio::redirect_error(asio::use_awaitable, error));
    stream.socket().shutdown(asio::socket_base::shutdown_send, error);
}

asio::awaitable<void> Accept(asio::ip::tcp::acceptor& acceptor, std::string folder)
{
    for (;;) {
        boost::system::error_code error;
        asio::ip::tcp::socket socket = co_await acceptor.async_accept(asio::redirect_error(asio::use_awaitable, error));
        if (error) {
            co_return;
        }
        asio::co_spawn(acceptor.get_executor(), Serve(std::move(socket), folder), asio::detached);
    }
}

} // namespace

TStaticHttpServer::TStaticHttpServer(std::string folder)
    : m_state(std::make_unique<TState>())
{
    m_state->Folder = std::move(folder);
    const asio::ip::tcp::endpoint endpoint(asio::ip::make_address("127.0.0.1"), 0);
    m_state->Acceptor.open(endpoint.protocol());
    m_state->Acceptor.bind(endpoint);
    m_state->Acceptor.listen();
    m_port = m_state->Acceptor.local_endpoint().port();
    asio::co_spawn(m_state->Io, Accept(m_state->Acceptor, m_state->Folder), asio::detached);
    m_thread = std::thread([this] { m_state->Io.run(); });
}

TStaticHttpServer::~TStaticHttpServer()
{
    m_state->Io.stop();
    m_thread.join();
}
