#pragma once

#include <chrono>
#include <cstdio>
#include <functional>
#include <map>
#include <mutex>
#include <string>

// How much a journal line matters, as syslog and sd-daemon number it.
enum class TJournalPriority {
    Error = 3,
    Warning = 4,
    Info = 6,
};

// The lines for whoever watches the running service rather than the day
// log: the start, printer faults, printer library crashes and hangs, a card
// left in the printer, and the stop, on standard error. Under systemd
// (standard error is the journal) each line begins with its priority as
// "<N>", which the journal takes as the line's priority; on a terminal the
// lines are plain. A kind of line that repeats is written at most once a
// minute; the next one written says how many were left out. Every
// operation may be called from any thread and never fails.
class TServiceJournal {
public:
    using TClock = std::function<std::chrono::steady_clock::time_point()>;

    TServiceJournal(std::FILE* stream, bool prefixed, TClock clock);

    // kind names the line's kind for the rate limit; text is UTF-8, one
    // line without its end.
    void Line(TJournalPriority priority, const std::string& kind, const std::string& text);

    static constexpr std::chrono::seconds kRepeatInterval {60};

private:
    struct TKind {
        std::chrono::steady_clock::time_point LastWritten;
        unsigned LeftOut = 0;
    };

    std::FILE* m_stream;
    bool m_prefixed;
    TClock m_clock;
    std::mutex m_mutex;
    std::map<std::string, TKind> m_kinds;
};

// Whether standard error is systemd's journal: JOURNAL_STREAM, which
// systemd sets for a service, names the device and inode of the stream it
// connected, and standard error is still that stream (not redirected by
// whoever started the program).
bool StandardErrorIsJournal();

// The one journal of this process, on standard error.
TServiceJournal& ServiceJournal();
