#include "support/FreePort.h"

#include "base/FileDescriptor.h"

#include <netinet/in.h>
#include <sys/socket.h>

uint16_t FreePort()
{
    const TFileDescriptor socket = TcpSocket();
    sockaddr_in addr {};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_ANY);
    socklen_t length = sizeof addr;
    if (!socket.Valid() || bind(socket.get(), reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0
        || getsockname(socket.get(), reinterpret_cast<sockaddr*>(&addr), &length) != 0) {
        return 0;
    }
    return ntohs(addr.sin_port);
}
