#pragma once

#include "base/FileDescriptor.h"

#include <sys/socket.h>

#include <string_view>

// Plain POSIX sockets for the load and soak clients, which run on POSIX
// systems only; everything else talks through Asio.

// A new IPv4 TCP socket, closed on exec.
inline TFileDescriptor TcpSocket()
{
    return TFileDescriptor(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
}

// Sends every byte, or reports false when the peer is gone.
inline bool SendAll(const TFileDescriptor& socket, std::string_view bytes)
{
    size_t sent = 0;
    while (sent < bytes.size()) {
        const ssize_t n = send(socket.get(), bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n <= 0) {
            return false;
        }
        sent += static_cast<size_t>(n);
    }
    return true;
}
