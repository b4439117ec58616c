#pragma once

#include <cstdlib>
#include <cstdio>
#include <string>

// A property that failed: print it and abort, so libFuzzer keeps the input.
#define FUZZ_CHECK(condition, what)                                                                                    \
    do {                                                                                                               \
        if (!(condition)) {                                                                                            \
            std::fprintf(stderr, "property failed: %s (%s:%d)\n", what, __FILE__, __LINE__);                           \
            std::abort();                                                                                              \
        }                                                                                                              \
    } while (false)

// A folder of its own for the run, removed when the process ends.
const std::string& FuzzTempDir();
