#include "base/ProfileFile.h"

#include "base/AsciiCase.h"
#include "base/FileSystem.h"
#include "base/SaveFile.h"
#include "base/StrToInt.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace {

constexpr size_t kMaxValueBytes = 2047;
constexpr size_t npos = std::string::npos;

std::string_view Trim(std::string_view s)
{
    const auto isBlank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!s.empty() && isBlank(s.front())) {
        s.remove_prefix(1);
    }
    while (!s.empty() && isBlank(s.back())) {
        s.remove_suffix(1);
    }
    return s;
}

// The section name of a head line "[Name]", or false for any other line.
bool SectionName(std::string_view line, std::string_view& name)
{
    const std::string_view t = Trim(line);
    if (!t.starts_with('[')) {
        return false;
    }
    const size_t close = t.find(']');
    name = Trim(t.substr(1, close == npos ? npos : close - 1));
    return true;
}

bool KeyValue(std::string_view line, std::string_view& key, std::string_view& value)
{
    const size_t eq = line.find('=');
    if (eq == npos) {
        return false;
    }
    key = Trim(line.substr(0, eq));
    value = Trim(line.substr(eq + 1));
    return true;
}

} // namespace

EWriteError::EWriteError(const std::string& fileName)
    : std::runtime_error("Unable to write to " + fileName)
{
}

TProfileFile::TProfileFile(std::string fileName)
    : m_fileName(std::move(fileName))
{
    std::ifstream in(m_fileName, std::ios::binary);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        m_lines.push_back(std::move(line));
    }
}

size_t TProfileFile::FindSection(std::string_view section) const
{
    for (size_t i = 0; i < m_lines.size(); ++i) {
        std::string_view name;
        if (SectionName(m_lines[i], name) && EqualsNoCase(name, section)) {
            return i;
        }
    }
    return npos;
}

size_t TProfileFile::SectionEnd(size_t head) const
{
    size_t i = head + 1;
    std::string_view name;
    while (i < m_lines.size() && !SectionName(m_lines[i], name)) {
        ++i;
    }
    return i;
}

bool TProfileFile::FindKey(std::string_view section, std::string_view key, TKeyLine& found) const
{
    const size_t head = FindSection(section);
    if (head == npos) {
        return false;
    }
    const size_t end = SectionEnd(head);
    for (size_t i = head + 1; i < end; ++i) {
        std::string_view k;
        std::string_view v;
        if (KeyValue(m_lines[i], k, v) && EqualsNoCase(k, key)) {
            found = {i, k, v};
            return true;
        }
    }
    return false;
}

std::string TProfileFile::ReadString(std::string_view section, std::string_view key, std::string_view def) const
{
    TKeyLine found {};
    if (!FindKey(section, key, found)) {
        return std::string(def);
    }
    std::string_view value = found.value;
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front()) {
        value = value.substr(1, value.size() - 2);
    }
    return std::string(value.substr(0, kMaxValueBytes));
}

int32_t TProfileFile::ReadInteger(std::string_view section, std::string_view key, int32_t def) const
{
    int32_t value = 0;
    return TryProfileStrToInt(ReadString(section, key, ""), value) ? value : def;
}

bool TProfileFile::ReadBool(std::string_view section, std::string_view key, bool def) const
{
    return ReadInteger(section, key, def ? 1 : 0) != 0;
}

void TProfileFile::WriteString(std::string_view section, std::string_view key, std::string_view value)
{
    std::string line = std::string(key) + "=" + std::string(value);
    TKeyLine found {};
    if (FindKey(section, key, found)) {
        m_lines[found.index] = std::move(line);
        return;
    }
    const size_t head = FindSection(section);
    if (head == npos) {
        std::string head = "[";
        head.append(section).append("]");
        m_lines.push_back(std::move(head));
        m_lines.push_back(std::move(line));
        return;
    }
    // After the section's last non-blank line, so blank lines that separate
    // it from the next section stay where they are.
    size_t at = SectionEnd(head);
    while (at > head + 1 && Trim(m_lines[at - 1]).empty()) {
        --at;
    }
    m_lines.insert(m_lines.begin() + static_cast<std::ptrdiff_t>(at), std::move(line));
}

void TProfileFile::WriteInteger(std::string_view section, std::string_view key, int32_t value)
{
    WriteString(section, key, std::to_string(value));
}

void TProfileFile::WriteBool(std::string_view section, std::string_view key, bool value)
{
    WriteString(section, key, value ? "1" : "0");
}

void TProfileFile::UpdateFile(TDurability durability) const
{
    unsigned mode = FileSystem::kCreatedFileMode;
    struct stat st {};
    if (stat(m_fileName.c_str(), &st) == 0) {
        // The rename below would replace even a write-protected file; honour
        // the protection the way an in-place write would.
        if (access(m_fileName.c_str(), W_OK) != 0 || !S_ISREG(st.st_mode)) {
            throw EWriteError(m_fileName);
        }
        mode = st.st_mode & 07777;
    }
    std::string bytes;
    for (const std::string& line : m_lines) {
        bytes += line;
        bytes += "\r\n";
    }
    TSaveFile save(m_fileName);
    if (!save.Valid() || !save.Write(bytes) || !save.Commit(mode, durability)) {
        throw EWriteError(m_fileName);
    }
}

int RemoveInterruptedSaves(const std::string& fileName)
{
    namespace fs = std::filesystem;
    const fs::path target(fileName);
    const std::string prefix = target.filename().string() + TSaveFile::kSuffixStart;
    std::error_code error;
    int removed = 0;
    const fs::path folder = target.parent_path().empty() ? fs::path(".") : target.parent_path();
    for (fs::directory_iterator it(folder, error); !error && it != fs::directory_iterator(); it.increment(error)) {
        const fs::directory_entry& entry = *it;
        const std::string name = entry.path().filename().string();
        if (name.size() != prefix.size() + TSaveFile::kSuffixLetters || !name.starts_with(prefix)) {
            continue;
        }
        bool random = true;
        for (size_t i = prefix.size(); i < name.size(); ++i) {
            random = random && std::isalnum(static_cast<unsigned char>(name[i])) != 0;
        }
        if (random && RemoveIfAbandoned(entry.path().string())) {
            ++removed;
        }
    }
    return removed;
}
