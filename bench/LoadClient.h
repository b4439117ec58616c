#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

struct TLoadResult {
    size_t Answered = 0; // answers that ended in their zero byte
    size_t Failed = 0;   // no connection, or no complete answer
    std::chrono::nanoseconds Elapsed {};
    // One entry per request, when asked for.
    std::vector<std::chrono::nanoseconds> Latencies;
};

// Sends `requests` requests to 127.0.0.1:port from `clients` threads, one
// connection per request, each waiting for the server to close. `bytes`
// already holds the zero byte.
TLoadResult RunLoad(uint16_t port, const std::string& bytes, unsigned clients, size_t requests, bool keepLatencies);

// Answered requests per second of a run.
double Rate(const TLoadResult& result);
