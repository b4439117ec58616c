#pragma once

#include <asio/ip/tcp.hpp>

#include <system_error>

// What sockets need from the operating system beyond what Asio hides: the
// listening port's sharing rule, the meaning of a failed bind, and the
// process-wide settings a server of many connections wants.
namespace SocketPlatform {

// Called first thing in main. A client that vanishes before its reply must
// cost a failed write, never the process (SIGPIPE, which Windows lacks);
// and the process may hold as many sockets as the system lets it (the soft
// limit on open descriptors raised to the hard one; Windows has no such
// limit).
void PrepareProcess();

// Sets the listening socket's address option before bind. Both platforms
// refuse a port another socket listens on: POSIX systems by default, where
// SO_REUSEADDR only lets a restart bind while the last run's connections
// linger in TIME_WAIT; Windows only with SO_EXCLUSIVEADDRUSE, since there
// SO_REUSEADDR would let a second program take a port that is in use.
void SetListenerAddressOption(asio::ip::tcp::acceptor& acceptor, std::error_code& error);

// Whether a failed bind means another socket holds the port. Windows
// reports a port held exclusively as "access denied" (WSAEACCES), and Wine
// does so for any port in use.
bool AddressInUse(const std::error_code& error);

// What a connection waits for to learn, while its request is handled, that
// the client has reset it. POSIX systems report a reset as an error
// condition, which no read is needed to see and which the end of the
// client's stream does not raise. Windows reports it only to a read, so
// there the wait is for readiness to read, which fails on a reset.
asio::socket_base::wait_type ClientGoneWait();

} // namespace SocketPlatform
