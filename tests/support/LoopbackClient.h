#pragma once

#include <cstdint>
#include <optional>
#include <string>

// What a client on 127.0.0.1 received before the server closed, or nothing
// when it could not connect. Sends the bytes as they are (add the zero byte
// yourself); chunkSize > 0 sends them in pieces of that size with a short
// pause between, to exercise reassembly. Waits at most timeoutMs for the
// server to close.
struct TLoopbackReply {
    bool Connected = false;
    bool ClosedByServer = false;
    std::string Bytes;
};

// shutdownSending ends the client's stream right after the last byte.
TLoopbackReply Exchange(uint16_t port, const std::string& bytes, size_t chunkSize = 0, int timeoutMs = 10000,
    bool shutdownSending = false);

// Waits up to timeoutMs until something accepts connections on 127.0.0.1:port.
bool WaitUntilListening(uint16_t port, int timeoutMs = 10000);

// A UTF-8 request text with its zero byte.
std::string Framed(const std::string& utf8Request);
