#pragma once

#include <chrono>
#include <cstdint>
#include <string>

// How one request went, seen from the client's side of the connection.
enum class TExchangeOutcome {
    Answered,            // a response and its zero byte arrived
    ClosedWithoutAnswer, // the server ended the connection before any byte
    CutShort,            // bytes came, then the connection ended without a zero byte
    TooLong,             // more bytes than any response holds, without a zero byte
    ConnectFailed,       // no connection could be made
    TimedOut,            // the time ran out before the exchange was over
};

struct TExchangeResult {
    TExchangeOutcome Outcome = TExchangeOutcome::ConnectFailed;
    // The response text without its zero byte, for Answered.
    std::string Response;
    // What went wrong, for the outcomes other than Answered.
    std::string Error;
};

// Connects, sends the bytes as they are and reads up to the first zero byte
// or until the server closes, all within the time-out.
TExchangeResult ExchangeRequest(
    const std::string& host, uint16_t port, const std::string& bytes, std::chrono::milliseconds timeout);

// Enough for any response: eight fields of a request that itself is at
// most 16384 bytes, escaped and converted to UTF-8.
constexpr size_t kMaxResponseBytes = 1 << 20;
