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

    // The request's device step has to wait behind earlier turns: from now
    // on the connection watches for the client going away, which cancels
    // the step through the handler's cancellation slot. Called on the
    // connection's executor. A connection that cannot tell does nothing.
    virtual void StepQueued() { }
};
