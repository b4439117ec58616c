#pragma once

// Boost.Asio under the short name the code uses throughout. Its sockets
// report boost::system::error_code, which compares equal to the
// asio::error values and converts to std::error_code where one is needed.
#include <boost/asio.hpp>

namespace asio = boost::asio;
