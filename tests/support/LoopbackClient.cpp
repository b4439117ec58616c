#include "support/LoopbackClient.h"

#include "base/FileDescriptor.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <thread>

namespace {

// A socket connected to 127.0.0.1:port, or an invalid one.
TFileDescriptor Connected(uint16_t port)
{
    TFileDescriptor s = TcpSocket();
    sockaddr_in addr {};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(port);
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (s.Valid() && connect(s.get(), reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        return TFileDescriptor();
    }
    return s;
}

} // namespace

TLoopbackReply Exchange(uint16_t port, const std::string& bytes, size_t chunkSize, int timeoutMs, bool shutdownSending)
{
    TLoopbackReply reply;
    const TFileDescriptor s = Connected(port);
    if (!s.Valid()) {
        return reply;
    }
    reply.Connected = true;
    const size_t step = chunkSize == 0 ? bytes.size() : chunkSize;
    for (size_t at = 0; at < bytes.size(); at += step) {
        const size_t n = std::min(step, bytes.size() - at);
        if (send(s.get(), bytes.data() + at, n, MSG_NOSIGNAL) < 0) {
            break;
        }
        if (chunkSize != 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    }
    if (shutdownSending) {
        shutdown(s.get(), SHUT_WR);
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    char buf[4096];
    while (std::chrono::steady_clock::now() < deadline) {
        pollfd pfd {s.get(), POLLIN, 0};
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (poll(&pfd, 1, static_cast<int>(std::max<int64_t>(1, left.count()))) <= 0) {
            continue;
        }
        const ssize_t n = recv(s.get(), buf, sizeof buf, 0);
        if (n <= 0) {
            reply.ClosedByServer = true;
            break;
        }
        reply.Bytes.append(buf, static_cast<size_t>(n));
    }
    return reply;
}

bool WaitUntilListening(uint16_t port, int timeoutMs)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!Connected(port).Valid()) {
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

std::string Framed(const std::string& utf8Request)
{
    std::string framed = utf8Request;
    framed.push_back('\0');
    return framed;
}
