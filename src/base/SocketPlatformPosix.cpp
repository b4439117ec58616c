#include "base/SocketPlatform.h"

#include <sys/resource.h>

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

void SetListenerAddressOption(asio::ip::tcp::acceptor& acceptor, std::error_code& error)
{
    acceptor.set_option(asio::socket_base::reuse_address(true), error);
}

bool AddressInUse(const std::error_code& error)
{
    return error == asio::error::address_in_use;
}

asio::socket_base::wait_type ClientGoneWait()
{
    return asio::socket_base::wait_error;
}

} // namespace SocketPlatform
