#pragma once

#include <sys/socket.h>
#include <unistd.h>

#include <string_view>
#include <utility>

// Owns a POSIX file descriptor (a file or a socket) and closes it when it
// goes out of scope. A negative value owns nothing.
class TFileDescriptor {
public:
    explicit TFileDescriptor(int fd = -1)
        : m_fd(fd)
    {
    }
    ~TFileDescriptor()
    {
        if (m_fd >= 0) {
            close(m_fd);
        }
    }
    TFileDescriptor(TFileDescriptor&& other) noexcept
        : m_fd(std::exchange(other.m_fd, -1))
    {
    }
    TFileDescriptor& operator=(TFileDescriptor&& other) noexcept
    {
        std::swap(m_fd, other.m_fd);
        return *this;
    }
    TFileDescriptor(const TFileDescriptor&) = delete;
    TFileDescriptor& operator=(const TFileDescriptor&) = delete;

    int get() const { return m_fd; }
    bool Valid() const { return m_fd >= 0; }
    // Gives the descriptor up without closing it.
    int Release() { return std::exchange(m_fd, -1); }

private:
    int m_fd;
};

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
