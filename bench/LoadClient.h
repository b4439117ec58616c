#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct TLoadResult {
    size_t Answered = 0; // answers that ended in their zero byte
    size_t Failed = 0;   // no connection, or no complete answer
    std::chrono::nanoseconds Elapsed {};
    // One entry per request, when asked for.
    std::vector<std::chrono::nanoseconds> Latencies;
};

// Whether what a connection received before the server closed is a
// complete answer.
using TAnswerCheck = std::function<bool(const std::string& reply)>;

// The member protocol's: the answer ends in its zero byte.
bool EndsInZeroByte(const std::string& reply);

// Sends `requests` requests to 127.0.0.1:port from `clients` threads, one
// connection per request, each waiting for the server to close. `bytes`
// already holds the zero byte (for the member protocol).
TLoadResult RunLoad(uint16_t port, const std::string& bytes, unsigned clients, size_t requests, bool keepLatencies,
    const TAnswerCheck& answered = EndsInZeroByte);

// Answered requests per second of a run.
double Rate(const TLoadResult& result);

// The middle one of the values (the upper of the two for an even count).
double Median(std::vector<double> values);

// The median latency in microseconds; 0 without latencies.
double MedianMicroseconds(std::vector<std::chrono::nanoseconds> latencies);
