#pragma once

#include "base/Asio.h"

#include <string>

class TClientConnection;

// The per-connection procedure of the member port: decodes the request line
// from UTF-8 and lets a new member request handler answer it. Errors leave
// it; the listener drops them.
asio::awaitable<void> TCPServerExecute(TClientConnection& connection, std::string requestLine);
