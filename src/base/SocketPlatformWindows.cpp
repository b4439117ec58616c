#include "base/SocketPlatform.h"

#include <winsock2.h>

namespace SocketPlatform {

void PrepareProcess()
{
    // Windows has neither SIGPIPE (a send to a closed peer fails with an
    // error) nor a per-process limit on sockets.
}

void SetListenerAddressOption(asio::ip::tcp::acceptor& acceptor, std::error_code& error)
{
    using TExclusiveAddressUse = asio::detail::socket_option::boolean<SOL_SOCKET, SO_EXCLUSIVEADDRUSE>;
    acceptor.set_option(TExclusiveAddressUse(true), error);
}

bool AddressInUse(const std::error_code& error)
{
    return error == asio::error::address_in_use || error == asio::error::access_denied;
}

asio::socket_base::wait_type ClientGoneWait()
{
    return asio::socket_base::wait_read;
}

} // namespace SocketPlatform
