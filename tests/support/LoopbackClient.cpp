#include "support/LoopbackClient.h"

#include "base/Asio.h"
#include "base/Asio.h"

#include <chrono>
#include <functional>
#include <thread>

TLoopbackClient::TLoopbackClient(uint16_t port)
    : m_socket(m_io)
{
    boost::system::error_code error;
    m_socket.connect({asio::ip::address_v4::loopback(), port}, error);
    m_connected = !error;
}

void TLoopbackClient::Send(const std::string& bytes, size_t chunkSize)
{
    const size_t step = chunkSize == 0 ? bytes.size() : chunkSize;
    for (size_t at = 0; at < bytes.size(); at += step) {
        const size_t n = std::min(step, bytes.size() - at);
        boost::system::error_code error;
        if (asio::write(m_socket, asio::buffer(bytes.data() + at, n), error); error) {
            break;
        }
        if (chunkSize != 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    }
}

void TLoopbackClient::ShutdownSending()
{
    boost::system::error_code ignored;
    m_socket.shutdown(asio::socket_base::shutdown_send, ignored);
}

void TLoopbackClient::Reset()
{
    // A zero linger time makes close send RST instead of FIN.
    boost::system::error_code ignored;
    m_socket.set_option(asio::socket_base::linger(true, 0), ignored);
    m_socket.close(ignored);
    m_connected = false;
}

TLoopbackReply TLoopbackClient::Receive(int timeoutMs)
{
    TLoopbackReply reply;
    reply.Connected = m_connected;
    if (!m_connected) {
        return reply;
    }
    // Reads until the server closes or the time is up, whichever comes first.
    char buf[4096];
    bool timedOut = false;
    asio::steady_timer timer(m_io, std::chrono::milliseconds(timeoutMs));
    timer.async_wait([&](const boost::system::error_code& e) {
        if (!e) {
            timedOut = true;
            boost::system::error_code ignored;
            m_socket.cancel(ignored);
        }
    });
    std::function<void(const boost::system::error_code&, size_t)> onRead = [&](const boost::system::error_code& e, size_t n) {
        reply.Bytes.append(buf, n);
        if (e) {
            reply.ClosedByServer = !timedOut;
            timer.cancel();
            return;
        }
        m_socket.async_read_some(asio::buffer(buf), onRead);
    };
    m_socket.async_read_some(asio::buffer(buf), onRead);
    m_io.restart();
    m_io.run();
    return reply;
}

TLoopbackReply Exchange(uint16_t port, const std::string& bytes, size_t chunkSize, int timeoutMs, bool shutdownSending)
{
    TLoopbackClient client(port);
    if (!client.Connected()) {
        return {};
    }
    client.Send(bytes, chunkSize);
    if (shutdownSending) {
        client.ShutdownSending();
    }
    return client.Receive(timeoutMs);
}

std::string Framed(const std::string& utf8Request)
{
    std::string framed = utf8Request;
    framed.push_back('\0');
    return framed;
}

bool WaitUntilListening(uint16_t port, int timeoutMs)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!TLoopbackClient(port).Connected()) {
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}
