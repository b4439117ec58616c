#include "status/DayCountsFile.h"

#include "base/FileSystem.h"
#include "base/SaveFile.h"

#include <charconv>
#include <fstream>
#include <sstream>

namespace {

constexpr size_t kMaxFileSize = 4096;

std::optional<uint64_t> Count(std::string_view text)
{
    uint64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || text.empty()) {
        return std::nullopt;
    }
    return value;
}

} // namespace

TDayCountsFile::TDayCountsFile(std::string path, TServiceStatus& status)
    : m_path(std::move(path))
    , m_status(status)
{
    std::ifstream file(m_path, std::ios::binary);
    if (file) {
        std::string text(kMaxFileSize, '\0');
        file.read(text.data(), static_cast<std::streamsize>(text.size()));
        text.resize(static_cast<size_t>(file.gcount()));
        if (const std::optional<TDayCounts> counts = Parse(text)) {
            m_status.RestoreDayCounts(*counts);
        }
    }
    m_savedVersion = m_status.DayCountsVersion();
}

TDayCountsFile::~TDayCountsFile()
{
    Save();
}

bool TDayCountsFile::Save()
{
    const uint64_t version = m_status.DayCountsVersion();
    if (version == m_savedVersion) {
        return true;
    }
    TSaveFile save(m_path);
    if (!save.Valid() || !save.Write(Text(m_status.DayCounts())) || !save.Commit(FileSystem::kCreatedFileMode)) {
        return false;
    }
    m_savedVersion = version;
    return true;
}

std::string TDayCountsFile::Text(const TDayCounts& counts)
{
    return "Day=" + counts.Day.toString(Qt::ISODate).toStdString() + "\nAnswered=" + std::to_string(counts.Answered)
        + "\nFailed=" + std::to_string(counts.Failed) + "\n";
}

std::optional<TDayCounts> TDayCountsFile::Parse(const std::string& text)
{
    TDayCounts counts;
    bool day = false;
    std::optional<uint64_t> answered;
    std::optional<uint64_t> failed;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        const size_t equals = line.find('=');
        if (equals == std::string::npos) {
            continue;
        }
        const std::string_view key(line.data(), equals);
        const std::string_view value(line.data() + equals + 1, line.size() - equals - 1);
        if (key == "Day") {
            counts.Day = QDate::fromString(QString::fromLatin1(value.data(), static_cast<qsizetype>(value.size())),
                Qt::ISODate);
            day = counts.Day.isValid();
        } else if (key == "Answered") {
            answered = Count(value);
        } else if (key == "Failed") {
            failed = Count(value);
        }
    }
    if (!day || !answered || !failed || *failed > *answered) {
        return std::nullopt;
    }
    counts.Answered = *answered;
    counts.Failed = *failed;
    return counts;
}
