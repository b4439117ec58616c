#include "base/SocketPlatform.h"

#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>

#include <cerrno>

#include <csignal>

namespace SocketPlatform {

void PrepareProcess()
{
    std::signal(SIGPIPE, SIG_IGN);
    rlimit limit {};
    if (getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < limit.rlim_max) {
        limit.rlim_cur = limit.rlim_max;
        setrlimit(RLIMIT_NOFILE, &limit);
    }
}

void SetListenerAddressOption(asio::ip::tcp::acceptor& acceptor, boost::system::error_code& error)
{
    acceptor.set_option(asio::socket_base::reuse_address(true), error);
}

bool AddressInUse(const boost::system::error_code& error)
{
    return error == asio::error::address_in_use;
}

bool PeerGone(asio::ip::tcp::socket::native_handle_type socket, bool streamEndCounts)
{
    // What the client sent after its request is of no use to anybody; read
    // away, it no longer hides the end of the stream or a reset behind it.
    char discarded[4096];
    for (size_t total = 0; total < kMaxDiscarded;) {
        pollfd probe {socket, POLLIN, 0};
        if (poll(&probe, 1, 0) <= 0) {
            return false;
        }
        // A reset shows as an error condition before any byte still queued.
        if ((probe.revents & (POLLERR | POLLNVAL)) != 0) {
            return true;
        }
        const ssize_t n = recv(socket, discarded, sizeof discarded, MSG_DONTWAIT);
        if (n == 0) {
            return streamEndCounts;
        }
        if (n < 0) {
            return errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR;
        }
        total += static_cast<size_t>(n);
    }
    // Still sending: there is somebody.
    return false;
}

} // namespace SocketPlatform
