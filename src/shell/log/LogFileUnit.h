#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <string_view>

// Appends one time-stamped line per entry to the day's log file. The file is
// opened and closed for every entry, so each entry is on disk when WriteLine
// returns and others may read, copy or delete the file in between.
class TLogFile {
public:
    explicit TLogFile(std::string FileName);

    // text is GBK and written unchanged. Never reports a failure: an entry
    // that cannot be written (file not writable, disk full) is dropped and
    // the next call tries again. Writing is skipped while WriteLog is off.
    void WriteLine(std::string_view text);

    const std::string FileName;

private:
    // Concurrent writers wait for one another, so no entry is lost and none
    // is interleaved with another.
    std::mutex m_mutex;
    // The last write stopped inside an entry (disk full, size limit): the
    // next entry begins with CR LF so it starts on a line of its own.
    bool m_entryCut = false;
};

// The one process-wide writer; its file name is fixed when it is created.
extern std::unique_ptr<TLogFile> LogFile;

// <executable folder>/<yyyymmdd of today>.LOG
std::string TodayLogFileName();
