#include "log/LogFileUnit.h"

#include "base/DataDirectory.h"
#include "base/FileDescriptor.h"
#include "base/FileSystem.h"
#include "base/FormatSettings.h"
#include "base/TextCodec.h"
#include "config/SysOptionUnit.h"
#include "log/LogRetention.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>

std::unique_ptr<TLogFile> LogFile;

namespace {

std::tm Local(std::time_t time)
{
    return FileSystem::LocalTime(time);
}

int DayNumber(const std::tm& local)
{
    return (local.tm_year + 1900) * 10000 + (local.tm_mon + 1) * 100 + local.tm_mday;
}

QDate Date(const std::tm& local)
{
    return QDate(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday);
}

} // namespace

std::string LogFolder()
{
    return DataDirectory();
}

TLogFile::TLogFile(std::string FileName)
    : m_path(std::move(FileName))
    , m_daily(false)
    , m_clock(&NowFromSystem)
{
}

TLogFile::TLogFile(std::string folder, TClock clock)
    : m_path(std::move(folder))
    , m_daily(true)
    , m_clock(std::move(clock))
    , m_day(DayNumber(Local(m_clock())))
{
}

std::unique_ptr<TLogFile> TLogFile::Daily(std::string folder, TClock clock)
{
    return std::unique_ptr<TLogFile>(new TLogFile(std::move(folder), std::move(clock)));
}

std::time_t TLogFile::NowFromSystem()
{
    return std::time(nullptr);
}

std::string TLogFile::FileNameOn(const std::tm& local) const
{
    return m_daily ? m_path + DayLogName(Date(local)).toStdString() : m_path;
}

std::string TLogFile::FileName() const
{
    return FileNameOn(Local(m_clock()));
}

void TLogFile::RemoveExpiredLogs()
{
    std::scoped_lock lock(m_mutex);
    RemoveExpiredLogsOn(Local(m_clock()));
}

void TLogFile::RemoveExpiredLogsOn(const std::tm& local)
{
    if (m_daily && SysOption) {
        RemoveExpiredDayLogs(m_path, Date(local), SysOption->LogKeepDays);
    }
}

std::tm TLogFile::Now()
{
    const std::tm t = Local(m_clock());
    if (m_daily && DayNumber(t) != m_day) {
        m_day = DayNumber(t);
        // A cut entry belongs to yesterday's file; today's starts clean.
        m_entryCut = false;
        m_daySize = -1;
        m_valuesCut = false;
        RemoveExpiredLogsOn(t);
    }
    return t;
}

void TLogFile::WriteLine(std::string_view text)
{
    if (SysOption && !SysOption->WriteLog) {
        return;
    }
    // The stamp is taken under the lock so entries stay in time order, and
    // the day's file follows from the stamp, so an entry stamped after
    // midnight is never in the file of the day before.
    std::scoped_lock lock(m_mutex);
    Append(Now(), text);
}

void TLogFile::WriteLine(std::string_view text, std::string_view value)
{
    if (SysOption && !SysOption->WriteLog) {
        return;
    }
    std::scoped_lock lock(m_mutex);
    const std::tm t = Now();
    std::string entry(text);
    entry += LogValue(value, PastDaysBound(t) ? 0 : kMaxLogValue);
    Append(t, entry);
}

void TLogFile::WriteArrival(std::string_view text)
{
    if (SysOption && !SysOption->WriteLog) {
        return;
    }
    std::scoped_lock lock(m_mutex);
    const std::tm t = Now();
    if (!PastDaysBound(t)) {
        Append(t, text);
    }
}

bool TLogFile::PastDaysBound(const std::tm& t)
{
    const long long limit = SysOption ? static_cast<long long>(SysOption->LogMaxMB) * 1024 * 1024 : 0;
    if (limit <= 0 || m_daySize < limit) {
        return false;
    }
    if (!m_valuesCut) {
        m_valuesCut = true;
        Append(t, Gbk("今日日志已超过 LogMaxMB 上限 (") + std::to_string(SysOption->LogMaxMB)
                + Gbk(" MB),今天余下的请求原文不再记录,卡号和打印内容只记长度."));
    }
    return true;
}

void TLogFile::Append(const std::tm& t, std::string_view text)
{
    const char sep = FormatSettings::TimeSeparator();
    char stamp[96];
    std::snprintf(stamp, sizeof stamp, "%04d-%02d-%02d %02d%c%02d%c%02d ", t.tm_year + 1900, t.tm_mon + 1, t.tm_mday,
        t.tm_hour, sep, t.tm_min, sep, t.tm_sec);
    std::string entry;
    entry.reserve(text.size() + 24);
    if (m_entryCut) {
        entry += "\r\n";
    }
    entry += stamp;
    entry += text;
    entry += "\r\n";

    const TFileDescriptor fd(FileSystem::OpenForAppend(FileNameOn(t)));
    if (fd.get() < 0) {
        return;
    }
    // One write call per entry: with O_APPEND even a second process writing
    // the same file cannot split an entry.
    size_t done = 0;
    while (done < entry.size()) {
        const ssize_t n = write(fd.get(), entry.data() + done, entry.size() - done);
        if (n <= 0) {
            break;
        }
        done += static_cast<size_t>(n);
    }
    if (done == entry.size()) {
        m_entryCut = false;
    } else if (done > 0) {
        // Unless the cut fell right after a CR LF, the file now ends inside
        // a line.
        m_entryCut = !std::string_view(entry.data(), done).ends_with("\r\n");
    }
    // Appending leaves the offset at the file's end, whoever else wrote.
    const auto end = lseek(fd.get(), 0, SEEK_CUR);
    if (end >= 0) {
        m_daySize = static_cast<long long>(end);
    }
}

namespace {

bool IsGbkLead(unsigned char byte)
{
    return byte >= 0x81 && byte <= 0xFE;
}

bool IsGbkTrail(unsigned char byte)
{
    return byte >= 0x40 && byte <= 0xFE && byte != 0x7F;
}

// Appends the character of text at its start as it stands in the log; gives
// how many bytes of text it took.
size_t AppendLogCharacter(std::string& out, std::string_view text)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    const auto byte = static_cast<unsigned char>(text[0]);
    if (IsGbkLead(byte) && text.size() > 1 && IsGbkTrail(static_cast<unsigned char>(text[1]))) {
        out.append(text.substr(0, 2));
        return 2;
    }
    switch (byte) {
    case '\r':
        out += "\\r";
        break;
    case '\n':
        out += "\\n";
        break;
    case '\t':
        out += "\\t";
        break;
    default:
        if (byte >= 0x20 && byte < 0x7F) {
            out += static_cast<char>(byte);
        } else {
            out += "\\x";
            out += kHex[byte >> 4];
            out += kHex[byte & 0x0F];
        }
    }
    return 1;
}

} // namespace

std::string LogValue(std::string_view text)
{
    std::string escaped;
    escaped.reserve(text.size());
    while (!text.empty()) {
        text.remove_prefix(AppendLogCharacter(escaped, text));
    }
    return escaped;
}

std::string LogValue(std::string_view text, size_t maxBytes)
{
    std::string escaped;
    escaped.reserve(std::min(text.size(), maxBytes) + 24);
    for (std::string_view rest = text; !rest.empty();) {
        const size_t before = escaped.size();
        const size_t taken = AppendLogCharacter(escaped, rest);
        if (escaped.size() > maxBytes) {
            escaped.resize(before);
            static const std::string cut = Gbk("…(");
            escaped += cut + std::to_string(text.size()) + " bytes)";
            break;
        }
        rest.remove_prefix(taken);
    }
    return escaped;
}
