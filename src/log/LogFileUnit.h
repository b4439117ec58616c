#pragma once

#include <ctime>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

// Every further physical line of an entry begins with this: CR LF ends the
// line before, and a TAB, with which no entry ever begins, indents the next.
// What a client sent only ever stands after it, so it can never pass for an
// entry of the program's.
inline constexpr std::string_view kLogContinuation = "\r\n\t";

// A value in an entry other than the arrival entry (a card number, a line to
// print) stands in the log with at most this many bytes; a longer one is cut
// and says so.
inline constexpr size_t kMaxLogValue = 256;

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

    // text, the program's own, followed by value, which a client or a card
    // decided (a card number, a line to print): escaped as LogValue does and
    // cut after kMaxLogValue bytes. Once the day's file has reached LogMaxMB
    // of SysOption only the value's length stands there, and one line of the
    // day says so. Fails as WriteLine does, never.
    void WriteLine(std::string_view text, std::string_view value);

    // An entry that repeats what a client sent (a request's text, a refused
    // HTTP request), which anyone who can connect can make as long as they
    // like. Written as WriteLine does until the day's file has reached
    // LogMaxMB of SysOption; then such entries are left out for the rest of
    // the day, while every other entry goes on.
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
    // Under m_mutex: whether the day's file has reached LogMaxMB, so what
    // clients and cards decide is left out. The first time in a day, one
    // line says so.
    bool PastDaysBound(const std::tm& t);

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
    // What clients and cards decide is left out for the rest of the day.
    bool m_valuesCut = false;
};

// A value as it may stand in a log entry: GBK characters and printable ASCII
// as they are; control characters escaped (CR as \r, LF as \n, TAB as \t,
// the rest as \xHH), so a value can never begin a line of its own and pass
// for an entry of the program's; so is a byte that is no GBK character (a
// card may hold any bytes), which would otherwise join the next byte into
// one. A backslash stays as it is, since it may be a GBK second byte.
std::string LogValue(std::string_view text);

// As LogValue, but at most maxBytes of it; a value that does not fit is cut
// before the first character that would not, and "…(N bytes)" follows, N
// being the value's whole length.
std::string LogValue(std::string_view text, size_t maxBytes);

// The one process-wide writer.
extern std::unique_ptr<TLogFile> LogFile;

// The data folder (DataDirectory), where the day files are kept.
std::string LogFolder();
