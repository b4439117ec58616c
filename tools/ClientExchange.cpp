#include "ClientExchange.h"

#include "listener/RequestLineReader.h"

#include "base/Asio.h"

#include <array>

namespace {

using asio::ip::tcp;

// One exchange on its own I/O context: every step is asynchronous so the
// one timer can end whichever step is under way.
class TExchange {
public:
    TExchange(const std::string& host, uint16_t port, const std::string& bytes)
        : m_resolver(m_io)
        , m_socket(m_io)
        , m_timer(m_io)
        , m_host(host)
        , m_port(std::to_string(port))
        , m_bytes(bytes)
        , m_reader(kMaxResponseBytes)
    {
    }

    TExchangeResult Run(std::chrono::milliseconds timeout)
    {
        m_timer.expires_after(timeout);
        m_timer.async_wait([this](const boost::system::error_code& error) {
            if (!error) {
                Finish(TExchangeOutcome::TimedOut, "no answer within the time-out");
            }
        });
        m_resolver.async_resolve(m_host, m_port, [this](const boost::system::error_code& error, tcp::resolver::results_type hosts) {
            if (error) {
                Finish(TExchangeOutcome::ConnectFailed, "cannot resolve '" + m_host + "': " + error.message());
                return;
            }
            asio::async_connect(m_socket, hosts, [this](const boost::system::error_code& connectError, const tcp::endpoint&) {
                if (connectError) {
                    Finish(TExchangeOutcome::ConnectFailed,
                        "cannot connect to " + m_host + " port " + m_port + ": " + connectError.message());
                    return;
                }
                Send();
            });
        });
        m_io.run();
        return m_result;
    }

private:
    void Send()
    {
        asio::async_write(m_socket, asio::buffer(m_bytes), [this](const boost::system::error_code& error, size_t) {
            // A failed write is no verdict yet: the server stops reading once
            // it has a zero byte or has given up on the request, and it may
            // have answered already. Whatever it sent is still to be read.
            (void)error;
            Receive();
        });
    }

    void Receive()
    {
        m_socket.async_read_some(asio::buffer(m_chunk), [this](const boost::system::error_code& error, size_t n) {
            if (error) {
                Closed();
                return;
            }
            switch (m_reader.Feed(std::string_view(m_chunk.data(), n))) {
            case TRequestLineReader::TStatus::NeedMore:
                Receive();
                break;
            case TRequestLineReader::TStatus::Complete:
                m_result.Response = m_reader.TakeLine();
                Finish(TExchangeOutcome::Answered, "");
                break;
            case TRequestLineReader::TStatus::TooLong:
                Finish(TExchangeOutcome::TooLong, "the answer exceeds " + std::to_string(kMaxResponseBytes) + " bytes");
                break;
            }
        });
    }

    // End of stream or a reset, both the server's doing.
    void Closed()
    {
        if (m_reader.ReceivedAny()) {
            Finish(TExchangeOutcome::CutShort, "the answer was cut short");
        } else {
            Finish(TExchangeOutcome::ClosedWithoutAnswer, "the server closed the connection without answering");
        }
    }

    void Finish(TExchangeOutcome outcome, std::string error)
    {
        if (m_finished) {
            return;
        }
        m_finished = true;
        m_result.Outcome = outcome;
        m_result.Error = std::move(error);
        boost::system::error_code ignored;
        m_timer.cancel();
        m_resolver.cancel();
        m_socket.close(ignored);
    }

    asio::io_context m_io;
    tcp::resolver m_resolver;
    tcp::socket m_socket;
    asio::steady_timer m_timer;
    std::string m_host;
    std::string m_port;
    const std::string& m_bytes;
    TRequestLineReader m_reader;
    std::array<char, 16384> m_chunk {};
    TExchangeResult m_result;
    bool m_finished = false;
};

} // namespace

TExchangeResult ExchangeRequest(
    const std::string& host, uint16_t port, const std::string& bytes, std::chrono::milliseconds timeout)
{
    TExchange exchange(host, port, bytes);
    return exchange.Run(timeout);
}
