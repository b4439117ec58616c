#include "host/HostPipe.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>

namespace {

// A copy of fd above the standard descriptors, closed on exec.
int Keep(int fd)
{
    return fcntl(fd, F_DUPFD_CLOEXEC, 3);
}

} // namespace

THostPipe::THostPipe()
    : m_in(Keep(STDIN_FILENO))
    , m_out(Keep(STDOUT_FILENO))
{
    const int empty = open("/dev/null", O_RDONLY | O_CLOEXEC);
    if (empty >= 0) {
        dup2(empty, STDIN_FILENO);
        close(empty);
    }
    dup2(STDERR_FILENO, STDOUT_FILENO);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) {
        std::signal(signal, SIG_IGN);
    }
    // A write to a program that has gone fails instead of ending the host
    // before it can end by itself.
    std::signal(SIGPIPE, SIG_IGN);
}

THostPipe::~THostPipe()
{
    close(static_cast<int>(m_in));
    close(static_cast<int>(m_out));
}

bool THostPipe::Read(char* data, size_t size)
{
    while (size > 0) {
        const ssize_t n = read(static_cast<int>(m_in), data, size);
        if (n == 0 || (n < 0 && errno != EINTR)) {
            return false;
        }
        if (n > 0) {
            data += n;
            size -= static_cast<size_t>(n);
        }
    }
    return true;
}

bool THostPipe::Write(std::string_view bytes)
{
    while (!bytes.empty()) {
        const ssize_t n = write(static_cast<int>(m_out), bytes.data(), bytes.size());
        if (n < 0 && errno != EINTR) {
            return false;
        }
        if (n > 0) {
            bytes.remove_prefix(static_cast<size_t>(n));
        }
    }
    return true;
}
