#include "shell/log/LogFileUnit.h"

#include "base/ExecutablePath.h"
#include "base/FileDescriptor.h"
#include "base/FileSystem.h"
#include "base/FormatSettings.h"
#include "config/SysOptionUnit.h"

#include <unistd.h>

#include <cstdio>
#include <ctime>
#include <string_view>

std::unique_ptr<TLogFile> LogFile;

namespace {

std::tm LocalNow()
{
    return FileSystem::LocalTime(std::time(nullptr));
}

} // namespace

std::string TodayLogFileName()
{
    const std::tm local = LocalNow();
    char date[64];
    std::snprintf(date, sizeof date, "%04d%02d%02d", local.tm_year + 1900, local.tm_mon + 1, local.tm_mday);
    return ExecutableDirectory() + date + ".LOG";
}

TLogFile::TLogFile(std::string FileName)
    : FileName(std::move(FileName))
{
}

void TLogFile::WriteLine(std::string_view text)
{
    if (SysOption && !SysOption->WriteLog) {
        return;
    }
    // The stamp is taken under the lock so entries stay in time order.
    std::scoped_lock lock(m_mutex);
    const std::tm t = LocalNow();
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

    const TFileDescriptor fd(FileSystem::OpenForAppend(FileName));
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
}
