#pragma once

#include "status/ServiceStatus.h"

#include <cstdint>
#include <optional>
#include <string>

// Keeps the day's request counts in a small file of the program's own, so a
// restart on the same day goes on counting where the last run stopped. The
// file is replaced in one step; one that is missing, of another day or not
// understood is taken as no counts at all.
class TDayCountsFile {
public:
    static constexpr const char* kFileName = "RequestCounts.txt";

    // Adds the counts the file holds for today to status. Whoever owns it
    // calls Save from time to time; it saves once more when destroyed.
    TDayCountsFile(std::string path, TServiceStatus& status);
    ~TDayCountsFile();
    TDayCountsFile(const TDayCountsFile&) = delete;
    TDayCountsFile& operator=(const TDayCountsFile&) = delete;

    // Writes the counts now if they changed since the last save. False
    // when the file could not be written (the counts then stay in memory
    // and the next save tries again).
    bool Save();

    static std::string Text(const TDayCounts& counts);
    static std::optional<TDayCounts> Parse(const std::string& text);

private:
    std::string m_path;
    TServiceStatus& m_status;
    uint64_t m_savedVersion;
};
