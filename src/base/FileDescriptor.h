#pragma once

#include <unistd.h>

#include <utility>

// Owns a C runtime file descriptor (on POSIX systems a socket too) and
// closes it when it goes out of scope. A negative value owns nothing.
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
