// The INI layer: an options file of any content is read, saved and read
// again, and must give the same values; then writes taken from the input
// are applied, and each must read back, leave every other key alone and
// survive a save. The input is the file's bytes, optionally followed by a
// zero byte and write lines "section|key|value".

#include "FuzzSupport.h"

#include "base/ProfileFile.h"
#include "config/SysOptionUnit.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace {

using TValues = std::map<std::pair<std::string, std::string>, std::string>;

// A default no file can hold, to tell a missing key from an empty value.
constexpr const char* kAbsent = "\x01" "absent";

void WriteFile(const std::string& path, std::string_view bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string_view Trimmed(std::string_view s)
{
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) {
        s.remove_prefix(1);
    }
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) {
        s.remove_suffix(1);
    }
    return s;
}

// Every name the file could be asked for: the sections and keys it seems to
// hold, the program's own, and a few that are surely absent.
void CollectNames(std::string_view file, std::set<std::string>& sections, std::set<std::string>& keys)
{
    sections = {"SysOption", "DoorlockOption", "MemberOption", "sysoption", "Absent"};
    keys = {"Password", "MemberPortNo", "WriteLog", "PortName", "Adtext", "password", "Absent"};
    size_t start = 0;
    while (start <= file.size() && sections.size() < 10 && keys.size() < 20) {
        const size_t end = std::min(file.find('\n', start), file.size());
        const std::string_view line = Trimmed(file.substr(start, end - start));
        if (line.starts_with('[')) {
            const size_t close = line.find(']');
            sections.emplace(Trimmed(line.substr(1, close == std::string_view::npos ? line.npos : close - 1)));
        } else if (const size_t eq = line.find('='); eq != std::string_view::npos) {
            keys.emplace(Trimmed(line.substr(0, eq)));
        }
        start = end + 1;
    }
}

TValues ReadAll(const TProfileFile& ini, const std::set<std::string>& sections, const std::set<std::string>& keys)
{
    TValues values;
    for (const std::string& section : sections) {
        for (const std::string& key : keys) {
            values[{section, key}] = ini.ReadString(section, key, kAbsent);
        }
    }
    return values;
}

// Names as the program writes them: plain words.
std::string Name(std::string_view raw)
{
    std::string name;
    for (const char c : raw) {
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')) {
            name.push_back(c);
        }
    }
    return name.empty() ? std::string("Key") : name;
}

bool SameAsciiName(std::string_view a, std::string_view b)
{
    const auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; };
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [&](char x, char y) { return lower(x) == lower(y); });
}

struct TWrite {
    std::string Section;
    std::string Key;
    std::string Value;
};

// A profile line cannot hold a line break, and no caller gives one.
std::vector<TWrite> ParseWrites(std::string_view script)
{
    std::vector<TWrite> writes;
    size_t start = 0;
    while (start < script.size() && writes.size() < 16) {
        const size_t end = std::min(script.find('\n', start), script.size());
        const std::string_view line = script.substr(start, end - start);
        const size_t bar1 = line.find('|');
        const size_t bar2 = bar1 == line.npos ? line.npos : line.find('|', bar1 + 1);
        if (bar2 != line.npos) {
            std::string value(line.substr(bar2 + 1));
            std::erase(value, '\r');
            writes.push_back({Name(line.substr(0, bar1)), Name(line.substr(bar1 + 1, bar2 - bar1 - 1)), value});
        }
        start = end + 1;
    }
    return writes;
}

// The reader drops blanks around a value and one pair of enclosing quotes,
// and cuts it at 2047 bytes, as the platform's profile functions do; a value
// without blanks or quotes at its ends reads back exactly.
bool ReadsAsWritten(const std::string& value)
{
    if (value.empty()) {
        return true;
    }
    const auto blank = [](char c) { return c == ' ' || c == '\t'; };
    const auto quote = [](char c) { return c == '"' || c == '\''; };
    return value.size() <= 2047 && !blank(value.front()) && !blank(value.back()) && !quote(value.front())
        && !quote(value.back());
}

void CheckSysOptionRoundTrip(const std::string& path)
{
    TSysOption first(path);
    first.Load();
    const std::string copy = FuzzTempDir() + "saved.ini";
    std::remove(copy.c_str());
    TSysOption saved = first;
    saved.FileName = copy;
    saved.Save();
    TSysOption second(copy);
    second.Load();
    FUZZ_CHECK(second.MemberPortNo == first.MemberPortNo && second.WriteLog == first.WriteLog
            && second.DelayMinutes == first.DelayMinutes && second.PmsServerPort == first.PmsServerPort
            && second.LogKeepDays == first.LogKeepDays,
        "system options read, saved and read again are the same");
    // A text read from a file has lost its outer quotes already; one that
    // still has a pair would lose that too on the next save.
    if (ReadsAsWritten(first.Password)) {
        FUZZ_CHECK(second.Password == first.Password, "the password survives a save");
    }
    if (ReadsAsWritten(first.PmsServer)) {
        FUZZ_CHECK(second.PmsServer == first.PmsServer, "the PMS server survives a save");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const size_t zero = input.find('\0');
    const std::string_view file = input.substr(0, zero);
    const std::string_view script = zero == input.npos ? std::string_view() : input.substr(zero + 1);

    const std::string path = FuzzTempDir() + "Option.ini";
    WriteFile(path, file);
    std::set<std::string> sections;
    std::set<std::string> keys;
    CollectNames(file, sections, keys);

    // Read, save, read again.
    TProfileFile ini(path);
    const TValues original = ReadAll(ini, sections, keys);
    ini.UpdateFile();
    FUZZ_CHECK(ReadAll(TProfileFile(path), sections, keys) == original, "a saved file reads as it did before");
    CheckSysOptionRoundTrip(path);

    // Writes: each reads back, touches nothing else and survives a save.
    TValues expected = original;
    for (const TWrite& write : ParseWrites(script)) {
        sections.insert(write.Section);
        keys.insert(write.Key);
        for (const std::string& section : sections) {
            for (const std::string& key : keys) {
                expected.try_emplace({section, key}, ini.ReadString(section, key, kAbsent));
            }
        }
        ini.WriteString(write.Section, write.Key, write.Value);
        const std::string read = ini.ReadString(write.Section, write.Key, kAbsent);
        if (ReadsAsWritten(write.Value)) {
            FUZZ_CHECK(read == write.Value, "a one-line value reads back as written");
        }
        // Names match without regard to case, so every spelling of the
        // written key now gives the new value.
        for (auto& [name, value] : expected) {
            if (SameAsciiName(name.first, write.Section) && SameAsciiName(name.second, write.Key)) {
                value = read;
            }
        }
        FUZZ_CHECK(ReadAll(ini, sections, keys) == expected, "a write changes its own key and nothing else");
    }
    ini.UpdateFile();
    FUZZ_CHECK(ReadAll(TProfileFile(path), sections, keys) == expected, "written values survive a save");
    return 0;
}
