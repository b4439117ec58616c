#pragma once

#include <asio/awaitable.hpp>

#include <string>

// The client's side of one accepted connection, as a request handler sees
// it: somewhere to write the response.
class TClientConnection {
public:
    virtual ~TClientConnection() = default;

    // Writes all bytes; throws std::system_error when the client is gone.
    virtual asio::awaitable<void> Write(std::string bytes) = 0;
};
