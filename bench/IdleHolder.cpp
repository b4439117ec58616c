#include "IdleHolder.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <stdexcept>
#include <vector>

namespace {

struct TOpenCommand {
    uint16_t Port;
    uint64_t Count;
};

bool ReadExactly(int fd, void* data, size_t size)
{
    auto* p = static_cast<char*>(data);
    while (size > 0) {
        const ssize_t n = read(fd, p, size);
        if (n <= 0) {
            return false;
        }
        p += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

bool WriteExactly(int fd, const void* data, size_t size)
{
    const auto* p = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t n = write(fd, p, size);
        if (n <= 0) {
            return false;
        }
        p += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

// The child's whole life: one batch of connections per Open, all closed
// when the parent says so or goes away.
[[noreturn]] void HoldConnections(int commands, int replies)
{
    std::vector<int> held;
    TOpenCommand command {};
    while (ReadExactly(commands, &command, sizeof command)) {
        if (command.Count == 0) {
            for (const int fd : held) {
                close(fd);
            }
            held.clear();
            const uint64_t done = 0;
            WriteExactly(replies, &done, sizeof done);
            continue;
        }
        sockaddr_in address {};
        address.sin_family = AF_INET;
        address.sin_port = htons(command.Port);
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        for (uint64_t i = 0; i < command.Count; ++i) {
            const int fd = socket(AF_INET, SOCK_STREAM, 0);
            if (fd < 0) {
                break;
            }
            if (connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
                close(fd);
                break;
            }
            held.push_back(fd);
        }
        const uint64_t opened = held.size();
        WriteExactly(replies, &opened, sizeof opened);
    }
    _exit(0);
}

} // namespace

TIdleHolder::TIdleHolder()
{
    int down[2];
    int up[2];
    if (pipe(down) != 0) {
        throw std::runtime_error("cannot create a pipe");
    }
    if (pipe(up) != 0) {
        close(down[0]);
        close(down[1]);
        throw std::runtime_error("cannot create a pipe");
    }
    m_child = fork();
    if (m_child == 0) {
        close(down[1]);
        close(up[0]);
        HoldConnections(down[0], up[1]);
    }
    close(down[0]);
    close(up[1]);
    m_toChild = down[1];
    m_fromChild = up[0];
    if (m_child < 0) {
        close(m_toChild);
        close(m_fromChild);
        throw std::runtime_error("cannot fork the idle-connection holder");
    }
}

TIdleHolder::~TIdleHolder()
{
    // Closing the pipe ends the child's command loop, and its exit closes
    // whatever it still holds.
    close(m_toChild);
    close(m_fromChild);
    int status = 0;
    waitpid(m_child, &status, 0);
}

size_t TIdleHolder::Open(uint16_t port, size_t count)
{
    const TOpenCommand command {port, count};
    uint64_t opened = 0;
    if (!WriteExactly(m_toChild, &command, sizeof command) || !ReadExactly(m_fromChild, &opened, sizeof opened)) {
        throw std::runtime_error("the idle-connection holder has gone");
    }
    return static_cast<size_t>(opened);
}

void TIdleHolder::Release()
{
    const TOpenCommand command {0, 0};
    uint64_t done = 0;
    if (!WriteExactly(m_toChild, &command, sizeof command) || !ReadExactly(m_fromChild, &done, sizeof done)) {
        throw std::runtime_error("the idle-connection holder has gone");
    }
}
