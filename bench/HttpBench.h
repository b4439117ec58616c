#pragma once

#include <cstddef>

// Requests per second and p50 latency of POST /v1/cards/write on the HTTP
// API beside the same write on the member port, in one run, at 1 and 16
// concurrent clients, with no printer library: the driver fails at once,
// so the figures are the servers' own.
void RunHttpBench(size_t requestsPerRun, unsigned rounds);
