#pragma once

#include <cstddef>

// Requests per second through the whole request path (listener, handler,
// response, with logging off and on) against the bare reference server, at
// 1 and 16 concurrent clients, one connection per request.
void RunThroughputBench(size_t requestsPerRun, unsigned rounds);
