#include "support/FreePort.h"

#include "base/Asio.h"
#include "base/Asio.h"

uint16_t FreePort()
{
    asio::io_context io;
    boost::system::error_code error;
    asio::ip::tcp::acceptor acceptor(io);
    acceptor.open(asio::ip::tcp::v4(), error);
    if (!error) {
        acceptor.bind({asio::ip::address_v4::any(), 0}, error);
    }
    if (error) {
        return 0;
    }
    const auto endpoint = acceptor.local_endpoint(error);
    return error ? 0 : endpoint.port();
}
