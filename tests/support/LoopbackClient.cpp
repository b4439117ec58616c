#include "support/LoopbackClient.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <thread>

TLoopbackClient::TLoopbackClient(uint16_t port)
    : m_socket(TcpSocket())
{
    sockaddr_in addr {};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(port);
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    m_connected = m_socket.get() >= 0 && connect(m_socket.get(), reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
}

void TLoopbackClient::Send(const std::string& bytes, size_t chunkSize)
{
    const size_t step = chunkSize == 0 ? bytes.size() : chunkSize;
    for (size_t at = 0; at < bytes.size(); at += step) {
        const size_t n = std::min(step, bytes.size() - at);
        if (send(m_socket.get(), bytes.data() + at, n, MSG_NOSIGNAL) < 0) {
            break;
        }
        if (chunkSize != 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    }
}

void TLoopbackClient::ShutdownSending()
{
    shutdown(m_socket.get(), SHUT_WR);
}

void TLoopbackClient::Reset()
{
    // A zero linger time makes close send RST instead of FIN.
    const linger abort {1, 0};
    setsockopt(m_socket.get(), SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
    m_socket = TFileDescriptor();
    m_connected = false;
}

TLoopbackReply TLoopbackClient::Receive(int timeoutMs)
{
    TLoopbackReply reply;
    reply.Connected = m_connected;
    if (!m_connected) {
        return reply;
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    char buf[4096];
    while (std::chrono::steady_clock::now() < deadline) {
        pollfd pfd {m_socket.get(), POLLIN, 0};
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (poll(&pfd, 1, static_cast<int>(std::max<int64_t>(1, left.count()))) <= 0) {
            continue;
        }
        const ssize_t n = recv(m_socket.get(), buf, sizeof buf, 0);
        if (n <= 0) {
            reply.ClosedByServer = true;
            break;
        }
        reply.Bytes.append(buf, static_cast<size_t>(n));
    }
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
