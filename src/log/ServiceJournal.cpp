#include "log/ServiceJournal.h"

TServiceJournal::TServiceJournal(std::FILE* stream, bool prefixed, TClock clock)
    : m_stream(stream)
    , m_prefixed(prefixed)
    , m_clock(std::move(clock))
{
}

void TServiceJournal::Line(TJournalPriority priority, const std::string& kind, const std::string& text)
{
    const auto now = m_clock();
    std::lock_guard lock(m_mutex);
    auto [entry, first] = m_kinds.try_emplace(kind);
    TKind& state = entry->second;
    if (!first && now - state.LastWritten < kRepeatInterval) {
        ++state.LeftOut;
        return;
    }
    std::string line;
    if (m_prefixed) {
        line = "<" + std::to_string(static_cast<int>(priority)) + ">";
    }
    line += "member-interface: " + text;
    if (state.LeftOut > 0) {
        line += " (" + std::to_string(state.LeftOut) + " more like this left out in the minute before)";
    }
    line += '\n';
    state.LastWritten = now;
    state.LeftOut = 0;
    std::fputs(line.c_str(), m_stream);
    std::fflush(m_stream);
}

TServiceJournal& ServiceJournal()
{
    static TServiceJournal journal(stderr, StandardErrorIsJournal(), [] { return std::chrono::steady_clock::now(); });
    return journal;
}
