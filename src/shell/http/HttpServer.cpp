#include "shell/http/HttpServer.h"

#include "shell/http/BoundedTaskQueue.h"

#include <httplib.h>

#include <chrono>
#include <stdexcept>

namespace {

constexpr auto kStartPoll = std::chrono::milliseconds(1);

THttpRequest ApiRequest(const httplib::Request& req)
{
    THttpRequest request;
    request.Method = req.method;
    request.Path = req.path;
    request.Headers.assign(req.headers.begin(), req.headers.end());
    request.RemoteAddress = req.remote_addr;
    return request;
}

void Apply(THttpAnswer answer, httplib::Response& res)
{
    res.status = answer.Status;
    std::string contentType = "application/json; charset=utf-8";
    for (const auto& [name, value] : answer.Headers) {
        if (name == "Content-Type") {
            contentType = value;
        } else {
            res.set_header(name.c_str(), value);
        }
    }
    if (!answer.Body.empty()) {
        res.set_content(answer.Body, contentType);
    }
}

// As for the member port: a restart may bind while the last run's
// connections linger in TIME_WAIT. The library's default (SO_REUSEPORT)
// would also let a second copy of the program listen on the same port and
// take half of the requests.
void ListenOptions(socket_t socket)
{
    int on = 1;
    setsockopt(socket, SOL_SOCKET, SO_REUSEADDR, reinterpret_cast<const char*>(&on), sizeof on);
}

// The library listens with a queue of 5 fixed when it was built: a burst
// of clients beyond that loses connection attempts, each retried by the
// client's system only after a second. Listening again on the bound socket
// sets a longer queue (where the system allows it; elsewhere the call
// changes nothing).
class TLibraryServer : public httplib::Server {
public:
    void LengthenListenQueue(int length) { ::listen(svr_sock_, length); }
};

} // namespace

THttpServer::THttpServer(std::shared_ptr<const THttpApi> api)
    : m_api(std::move(api))
    , m_server(std::make_unique<TLibraryServer>())
{
    httplib::Server& server = *m_server;
    server.new_task_queue = [this] { return new TBoundedTaskQueue(kThreads, kWaitingConnections, m_stopping); };
    server.set_socket_options(ListenOptions);
    // One request per connection: bytes of a body the API did not read
    // (a refused request's, say) can never be taken for a further request
    // on the same connection.
    server.set_keep_alive_max_count(1);
    server.set_keep_alive_timeout(kIdleSeconds);
    server.set_read_timeout(kIdleSeconds, 0);
    server.set_write_timeout(kIdleSeconds, 0);
    server.set_payload_max_length(THttpApi::kMaxBody);
    server.set_tcp_nodelay(true);

    // Runs before any body is read.
    server.set_pre_routing_handler([api = m_api](const httplib::Request& req, httplib::Response& res) {
        std::optional<THttpAnswer> answer = api->AnswerBeforeBody(ApiRequest(req));
        if (!answer) {
            return httplib::Server::HandlerResponse::Unhandled;
        }
        Apply(*std::move(answer), res);
        return httplib::Server::HandlerResponse::Handled;
    });
    // Only card requests get here. The body is read here rather than by the
    // library, which does not hold a chunked or compressed body to its
    // payload limit.
    server.Post(
        ".*", [api = m_api](const httplib::Request& req, httplib::Response& res, const httplib::ContentReader& reader) {
            THttpRequest request = ApiRequest(req);
            bool tooLong = false;
            const bool read = reader([&](const char* data, size_t length) {
                if (request.Body.size() + length > THttpApi::kMaxBody) {
                    tooLong = true;
                    return false;
                }
                request.Body.append(data, length);
                return true;
            });
            if (tooLong) {
                Apply(api->TransportError(request, 413), res);
            } else if (!read) {
                Apply(api->TransportError(request, 400), res);
            } else {
                Apply(api->AnswerWithBody(request), res);
            }
        });
    // The library's own refusals (a malformed request, an unknown method)
    // come without a body.
    server.set_error_handler([api = m_api](const httplib::Request& req, httplib::Response& res) {
        if (res.body.empty()) {
            Apply(api->TransportError(ApiRequest(req), res.status), res);
        }
    });
    server.set_exception_handler(
        [api = m_api](const httplib::Request& req, httplib::Response& res, std::exception_ptr) {
            res.headers.clear();
            Apply(api->TransportError(ApiRequest(req), 500), res);
        });
}

THttpServer::~THttpServer()
{
    Stop();
}

void THttpServer::Start(const std::string& address, uint16_t port)
{
    int bound = port;
    if (port == 0) {
        bound = m_server->bind_to_any_port(address);
    } else if (!m_server->bind_to_port(address, port)) {
        bound = -1;
    }
    if (bound <= 0) {
        throw std::runtime_error("cannot listen on " + address + " port " + std::to_string(port)
            + ": the port is taken, or the address is not one of this computer's");
    }
    m_localPort = static_cast<uint16_t>(bound);
    static_cast<TLibraryServer&>(*m_server).LengthenListenQueue(kListenQueue);
    auto ended = std::make_shared<std::atomic<bool>>(false);
    m_thread = std::thread([this, ended] {
        m_server->listen_after_bind();
        *ended = true;
    });
    // The library's stop does nothing until the server says it runs.
    while (!m_server->is_running() && !*ended) {
        std::this_thread::sleep_for(kStartPoll);
    }
}

void THttpServer::Stop()
{
    if (!m_thread.joinable()) {
        return;
    }
    m_stopping = true;
    m_server->stop();
    m_thread.join();
}
