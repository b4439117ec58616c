#pragma once

#include <cstdint>
#include <optional>

// What the operating system says of this process, for the process_* metrics
// that fleet monitors read from every service alike. A figure the system
// does not give stays empty and is left out of the metrics.
struct TProcessFigures {
    // Descriptors (POSIX) or handles (Windows) open now, and the most the
    // process may hold: the service's LimitNOFILE.
    std::optional<uint64_t> OpenFds;
    std::optional<uint64_t> MaxFds;
    std::optional<uint64_t> ResidentBytes;
    std::optional<uint64_t> VirtualBytes;
    // User and system time together.
    std::optional<double> CpuSeconds;
};

TProcessFigures ReadProcessFigures();
