#pragma once

#include <string_view>

// The client's side of one accepted connection, as a request handler sees
// it: somewhere to write the response.
class TClientConnection {
public:
    virtual ~TClientConnection() = default;

    // Writes all bytes; throws std::system_error when the client is gone.
    virtual void Write(std::string_view bytes) = 0;
};
