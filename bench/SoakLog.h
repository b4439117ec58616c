#pragma once

#include <map>
#include <string>

// The handler's entries in a log file: one arrival entry per request it
// was given, one outcome entry per request it answered.
struct TSoakLogCounts {
    size_t Entries = 0;
    size_t Received = 0;      // "收到消息: " entries
    size_t EmptyReceived = 0; // of those, with an empty request text
    size_t WriteOk = 0;
    size_t WriteFailed = 0;
    size_t ReadOk = 0;
    size_t ReadFailed = 0;
    size_t PrintOk = 0;
    size_t PrintFailed = 0;
    // The card number of every "写卡成功,卡号为:" entry.
    std::map<std::string, size_t> WrittenCards;

    size_t Outcomes() const { return WriteOk + WriteFailed + ReadOk + ReadFailed + PrintOk + PrintFailed; }
};

TSoakLogCounts CountLog(const std::string& path);
