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
    WSAPOLLFD probe {};
    probe.fd = socket;
    probe.events = POLLRDNORM;
    if (WSAPoll(&probe, 1, 0) <= 0) {
        return false;
    }
    if ((probe.revents & (POLLERR | POLLNVAL)) != 0) {
        return true;
    }
    // Readable: a peek tells a reset (an error), the end of the stream (0)
    // and bytes waiting unread apart, and cannot block on a readable socket.
    char byte = 0;
    const int n = recv(socket, &byte, 1, MSG_PEEK);
    if (n == 0) {
        return streamEndCounts;
    }
    return n == SOCKET_ERROR && WSAGetLastError() != WSAEWOULDBLOCK;
}

} // namespace SocketPlatform
