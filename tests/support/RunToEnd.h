#pragma once

#include "base/Asio.h"

#include <future>

// Runs a coroutine to its end on an I/O context of its own, as one
// synchronous step of a test, benchmark or fuzz target; what it throws is
// thrown here.
template <typename T>
T RunToEnd(asio::awaitable<T> work)
{
    asio::io_context io;
    std::future<T> result = asio::co_spawn(io, std::move(work), asio::use_future);
    io.run();
    return result.get();
}
