#include "base/SocketPlatform.h"

#include <winsock2.h>

namespace SocketPlatform {

void PrepareProcess()
{
    // Windows has neither SIGPIPE (a send to a closed peer fails with an
    // error) nor a per-process limit on sockets.
}

void SetListenerAddressOption(asio::ip::tcp::acceptor& acceptor, boost::system::error_code& error)
{
    using TExclusiveAddressUse = asio::detail::socket_option::boolean<SOL_SOCKET, SO_EXCLUSIVEADDRUSE>;
    acceptor.set_option(TExclusiveAddressUse(true), error);
}

bool AddressInUse(const boost::system::error_code& error)
{
    return error == asio::error::address_in_use || error == asio::error::access_denied;
}

bool PeerGone(asio::ip::tcp::socket::native_handle_type socket, bool streamEndCounts)
{
    // What the client sent after its request is of no use to anybody; read
    // away, it no longer hides the end of the stream or a reset behind it.
    char discarded[4096];
    for (size_t total = 0; total < kMaxDiscarded;) {
        WSAPOLLFD probe {};
        probe.fd = socket;
        probe.events = POLLRDNORM;
        if (WSAPoll(&probe, 1, 0) <= 0) {
            return false;
        }
        if ((probe.revents & (POLLERR | POLLNVAL)) != 0) {
            return true;
        }
        // Readable: a receive tells a reset (an error), the end of the
        // stream (0) and bytes apart, and cannot block on a readable socket,
        // even one in blocking mode.
        const int n = recv(socket, discarded, static_cast<int>(sizeof discarded), 0);
        if (n == 0) {
            return streamEndCounts;
        }
        if (n == SOCKET_ERROR) {
            return WSAGetLastError() != WSAEWOULDBLOCK;
        }
        total += static_cast<size_t>(n);
    }
    // Still sending: there is somebody.
    return false;
}

} // namespace SocketPlatform
