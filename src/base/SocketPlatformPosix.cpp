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
    pollfd probe {socket, POLLIN, 0};
    if (poll(&probe, 1, 0) <= 0) {
        return false;
    }
    // A reset shows as an error condition before any byte still queued.
    if ((probe.revents & (POLLERR | POLLNVAL)) != 0) {
        return true;
    }
    char byte = 0;
    const ssize_t n = recv(socket, &byte, 1, MSG_PEEK | MSG_DONTWAIT);
    if (n == 0) {
        return streamEndCounts;
    }
    return n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR;
}

} // namespace SocketPlatform
