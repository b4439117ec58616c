#pragma once

#include <ctime>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

// Appends one time-stamped line per entry to the log file. The file is
// opened and closed for every entry, so each entry is on disk when WriteLine
// returns and others may read, copy or delete the file in between.
class TLogFile {
public:
    using TClock = std::function<std::time_t()>;

    // Every entry goes to this one file.
    explicit TLogFile(std::string FileName);

    // Every entry goes to <folder><yyyymmdd>.LOG of the local date in its
    // time stamp, so a run that passes midnight goes on in the new day's
    // file. folder ends with its separator.
    static std::unique_ptr<TLogFile> Daily(std::string folder, TClock clock = &NowFromSystem);

    // text is GBK and written unchanged. Never reports a failure: an entry
    // that cannot be written (file not writable, disk full) is dropped and
    // the next call tries again. Writing is skipped while WriteLog is off.
    // The first entry of a new day removes the expired day files (below).
    void WriteLine(std::string_view text);

    // An entry that repeats what a client sent (a request's text, a refused
    // HTTP request), which anyone who can connect can make as long as they
    // like. Written as WriteLine does until the day's file has reached
    // LogMaxMB of SysOption; then one line says so and such entries are
    // left out for the rest of the day, while every other entry goes on.
    void WriteArrival(std::string_view text);

    // The file the next entry goes to.
    std::string FileName() const;

    // For a daily writer, removes the day files older than LogKeepDays of
    // SysOption (0 keeps them all); nothing else in the folder is touched.
    void RemoveExpiredLogs();

private:
    TLogFile(std::string folder, TClock clock);

    // Under m_mutex: appends one entry; an entry the file cannot take is
    // lost, and one cut short is closed by the next entry's line break.
    void Append(const std::tm& t, std::string_view text);
    // Under m_mutex: the local time now, moving to a new day's file first
    // when the day has changed.
    std::tm Now();

    static std::time_t NowFromSystem();
    std::string FileNameOn(const std::tm& local) const;
    void RemoveExpiredLogsOn(const std::tm& local);

    // The fixed file, or the daily files' folder.
    const std::string m_path;
    const bool m_daily;
    const TClock m_clock;

    // Concurrent writers wait for one another, so no entry is lost and none
    // is interleaved with another.
    mutable std::mutex m_mutex;
    // yyyymmdd of the day file the last entry went to.
    int m_day = 0;
    // The last write stopped inside an entry (disk full, size limit): the
    // next entry to the same file begins with CR LF so it starts on a line
    // of its own.
    bool m_entryCut = false;
    // Size of the day's file after the last entry, -1 before the first.
    long long m_daySize = -1;
    // Arrival entries are left out for the rest of the day.
    bool m_arrivalsCut = false;
};

// A value as it may stand in a log entry: GBK bytes as they are, except
// control characters, which appear escaped (CR as \r, LF as \n, TAB as \t,
// the rest as \xHH), so a value can never begin a line of its own and pass
// for an entry of the program's. GBK's second bytes are never control
// characters, so no character is split; a backslash stays as it is, since
// it may be one of them.
std::string LogValue(std::string_view text);

// The one process-wide writer.
extern std::unique_ptr<TLogFile> LogFile;

// The data folder (DataDirectory), where the day files are kept.
std::string LogFolder();
