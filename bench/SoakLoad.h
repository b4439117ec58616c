#pragma once

#include <chrono>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

// What the soak's clients did and saw.
struct TSoakCounts {
    // Complete requests, by type, and how they were answered.
    size_t Writes = 0;
    size_t Reads = 0;
    size_t Prints = 0;
    size_t Answered = 0;     // exactly one well-formed response, then the close
    size_t Unanswered = 0;   // closed without a byte
    size_t Malformed = 0;    // anything else: several zero bytes, cut short, wrong text
    size_t Failures = 0;     // answered "500"
    size_t ConnectErrors = 0;
    std::vector<std::chrono::nanoseconds> Latencies;
    // Card number of every write answered "200", to find in the log.
    std::map<std::string, size_t> WrittenCards;

    // The misbehaving clients.
    size_t HalfAndGone = 0;  // half a request, then a close
    size_t Oversized = 0;    // 20 KB without a zero byte
    size_t OversizedAnswered = 0;
    size_t Resets = 0;       // half a request, then a reset
    size_t Idle = 0;         // connected and sent nothing

    size_t Complete() const { return Writes + Reads + Prints; }
    TSoakCounts& operator+=(const TSoakCounts& more);
};

// Runs `clients` clients with mixed write, read and print requests and four
// misbehaving clients against 127.0.0.1:port until `duration` has passed or
// `maxRequests` complete requests were sent. Leaves `keepIdle` idle
// connections open in `idleKept` (descriptors the caller closes). Written
// card numbers are `cardPrefix` and a running number, so each run's differ.
TSoakCounts RunSoakLoad(uint16_t port, unsigned clients, std::chrono::seconds duration, size_t maxRequests,
    char cardPrefix, size_t keepIdle, std::vector<int>& idleKept);
