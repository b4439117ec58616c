#pragma once

#include "base/Asio.h"

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
void SetListenerAddressOption(asio::ip::tcp::acceptor& acceptor, boost::system::error_code& error);

// Whether a failed bind means another socket holds the port. Windows
// reports a port held exclusively as "access denied" (WSAEACCES), and Wine
// does so for any port in use.
bool AddressInUse(const boost::system::error_code& error);

// At most this many bytes that a client sent after its request are read
// away by one PeerGone.
inline constexpr size_t kMaxDiscarded = 64 * 1024;

// Whether the client of a connected socket has gone: it reset the
// connection or the socket failed, or, when streamEndCounts, it closed its
// sending side. Bytes waiting unread (sent after the request) are read and
// discarded, up to kMaxDiscarded, to see what comes behind them; a client
// that has sent more still counts as there. Waits for nothing, and touches
// only the socket's incoming bytes, so it may be asked from a thread other
// than the one serving the socket while that one does not read it.
bool PeerGone(asio::ip::tcp::socket::native_handle_type socket, bool streamEndCounts);

} // namespace SocketPlatform
