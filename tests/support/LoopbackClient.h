#pragma once

#include "base/Asio.h"

#include <cstdint>
#include <optional>
#include <string>

// What a client on 127.0.0.1 received before the server closed, or nothing
// when it could not connect.
struct TLoopbackReply {
    bool Connected = false;
    bool ClosedByServer = false;
    std::string Bytes;
};

// One client connection to 127.0.0.1, driven step by step, so one thread
// can keep many requests waiting at once.
class TLoopbackClient {
public:
    explicit TLoopbackClient(uint16_t port);

    bool Connected() const { return m_connected; }
    // Sends the bytes as they are (add the zero byte yourself); chunkSize > 0
    // sends them in pieces of that size with a short pause between, to
    // exercise reassembly.
    void Send(const std::string& bytes, size_t chunkSize = 0);
    // Ends the client's stream; the server may still answer.
    void ShutdownSending();
    // Closes with a reset instead of the end of the stream.
    void Reset();
    // What arrives until the server closes, waiting at most timeoutMs.
    TLoopbackReply Receive(int timeoutMs = 10000);

private:
    asio::io_context m_io;
    asio::ip::tcp::socket m_socket;
    bool m_connected = false;
};

// Connects, sends, optionally ends the client's stream right after the last
// byte, and receives.
TLoopbackReply Exchange(uint16_t port, const std::string& bytes, size_t chunkSize = 0, int timeoutMs = 10000,
    bool shutdownSending = false);

// Waits up to timeoutMs until something accepts connections on 127.0.0.1:port.
bool WaitUntilListening(uint16_t port, int timeoutMs = 10000);

// A UTF-8 request text with its zero byte.
std::string Framed(const std::string& utf8Request);
