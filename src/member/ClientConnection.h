#pragma once

#include "base/Asio.h"

#include <string>

// The client that asked for a request, as the device queue sees it.
class TRequestClient {
public:
    virtual ~TRequestClient() = default;

    // Whether the client has gone, so nobody would read the answer. Asked
    // on the device thread in the step that would begin the request's card
    // transaction, while the request's coroutine waits and reads nothing:
    // it may read away what the client sent after its request, to see
    // whether the stream ends behind it, and change nothing else. The
    // connection keeps its socket open until the request's device step has
    // completed, so the look is always at the client's own socket.
    virtual bool Gone() const = 0;
};

// The client's side of one accepted member-port connection, as a request
// handler sees it: somewhere to write the response.
class TClientConnection : public TRequestClient {
public:
    // Writes all bytes; throws when the client is gone.
    virtual asio::awaitable<void> Write(std::string bytes) = 0;
};
