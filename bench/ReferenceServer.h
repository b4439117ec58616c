#pragma once

#include "base/Asio.h"

#include <cstdint>
#include <thread>

// The least a server of this protocol can do: accept, read to the zero byte,
// write a fixed 233-byte answer, close. It runs on one thread with the same
// socket library as the real listener, as the yardstick for its overhead.
class TReferenceServer {
public:
    TReferenceServer();
    ~TReferenceServer();
    TReferenceServer(const TReferenceServer&) = delete;
    TReferenceServer& operator=(const TReferenceServer&) = delete;

    uint16_t Port() const { return m_port; }

private:
    void Accept();

    asio::io_context m_io;
    asio::ip::tcp::acceptor m_acceptor;
    uint16_t m_port = 0;
    std::thread m_thread;
};
