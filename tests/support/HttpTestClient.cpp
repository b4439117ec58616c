#include "support/HttpTestClient.h"

#include "base/AsciiCase.h"
#include "base/Asio.h"

#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>

#include <chrono>

namespace beast = boost::beast;
namespace http = boost::beast::http;

std::string THttpTestResponse::Header(const std::string& name) const
{
    for (const auto& [key, value] : Headers) {
        if (EqualsNoCase(key, name)) {
            return value;
        }
    }
    return {};
}

THttpTestClient::THttpTestClient(std::string host, uint16_t port)
    : m_host(std::move(host))
    , m_port(port)
{
}

std::optional<THttpTestResponse> THttpTestClient::Get(const std::string& path) const
{
    return Send("GET", path, "", "");
}

std::optional<THttpTestResponse> THttpTestClient::Post(
    const std::string& path, const std::string& body, const std::string& contentType) const
{
    return Send("POST", path, body, contentType);
}

std::optional<THttpTestResponse> THttpTestClient::Delete(const std::string& path) const
{
    return Send("DELETE", path, "", "");
}

std::optional<THttpTestResponse> THttpTestClient::Options(const std::string& path) const
{
    return Send("OPTIONS", path, "", "");
}

std::optional<THttpTestResponse> THttpTestClient::Send(
    const std::string& method, const std::string& path, const std::string& body, const std::string& type) const
{
    asio::io_context io;
    beast::tcp_stream stream(io);
    boost::system::error_code error;
    stream.expires_after(std::chrono::seconds(m_readTimeoutSeconds));
    stream.connect(asio::ip::tcp::endpoint(asio::ip::make_address(m_host, error), m_port), error);
    if (error) {
        return std::nullopt;
    }
    http::request<http::string_body> request {http::string_to_verb(method), path, 11};
    request.set(http::field::host, m_host + ":" + std::to_string(m_port));
    if (!type.empty()) {
        request.set(http::field::content_type, type);
    }
    for (const auto& [name, value] : m_headers) {
        request.set(name, value);
    }
    request.body() = body;
    request.prepare_payload();

    std::optional<THttpTestResponse> result;
    http::async_write(stream, request, [&](const boost::system::error_code& written, size_t) {
        if (written) {
            return;
        }
        auto buffer = std::make_shared<beast::flat_buffer>();
        auto response = std::make_shared<http::response<http::string_body>>();
        http::async_read(stream, *buffer, *response, [&, buffer, response](const boost::system::error_code& read, size_t) {
            if (read) {
                return;
            }
            THttpTestResponse answer;
            answer.Status = static_cast<int>(response->result_int());
            for (const auto& field : *response) {
                answer.Headers.emplace_back(std::string(field.name_string()), std::string(field.value()));
            }
            answer.Body = std::move(response->body());
            result = std::move(answer);
        });
    });
    io.run();
    return result;
}
