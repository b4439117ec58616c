#pragma once

#include <cstddef>

// Microseconds per request of the handler alone, for each request type:
// from the decoded request text to the response bytes, with logging off
// and on.
void RunHandlerBench(size_t iterations);
