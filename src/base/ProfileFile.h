#pragma once

#include "base/SaveFile.h"

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

// Raised when an options file cannot be replaced; the text names the file.
class EWriteError : public std::runtime_error {
public:
    explicit EWriteError(const std::string& fileName);
};

// A classic INI file held in memory, read and written the way the platform's
// profile functions do: section and key names match without regard to case,
// blanks around a value are not part of it, one pair of enclosing quotes is
// stripped on reading, and writing changes only the line of the key written
// (new keys go to the end of their section, new sections to the end of the
// file). Lines this class does not understand are kept as they are.
//
// Changes stay in memory until UpdateFile, which replaces the file in one
// step: afterwards it holds either every change or none of them.
class TProfileFile {
public:
    // Reads the file if there is one; a missing or unreadable file reads as empty.
    explicit TProfileFile(std::string fileName);

    const std::string& FileName() const { return m_fileName; }

    // Values are cut to 2047 bytes, as the platform's 2048-byte buffer does.
    std::string ReadString(std::string_view section, std::string_view key, std::string_view def) const;
    // Decimal with an optional sign, or hexadecimal after "0x", "0X" or "$",
    // within the signed 32-bit range (TryProfileStrToInt); anything else,
    // an empty value included, gives def.
    int32_t ReadInteger(std::string_view section, std::string_view key, int32_t def) const;
    // Read as an integer: non-zero is true; a value that is no number gives def.
    bool ReadBool(std::string_view section, std::string_view key, bool def) const;

    void WriteString(std::string_view section, std::string_view key, std::string_view value);
    void WriteInteger(std::string_view section, std::string_view key, int32_t value);
    void WriteBool(std::string_view section, std::string_view key, bool value);

    // Writes every line with CR LF through a temporary file in the same
    // folder ("<name>.XXXXXX") that is then renamed over the old one; by
    // default the folder is synced after the rename, so the new file
    // survives a power cut. Throws EWriteError.
    void UpdateFile(TDurability durability = TDurability::PowerCut) const;

private:
    struct TKeyLine {
        size_t index;
        std::string_view key;
        std::string_view value;
    };

    // Index of the section's head line, or npos.
    size_t FindSection(std::string_view section) const;
    // The section's lines run from its head to just before the next head.
    size_t SectionEnd(size_t head) const;
    bool FindKey(std::string_view section, std::string_view key, TKeyLine& found) const;

    std::string m_fileName;
    std::vector<std::string> m_lines;
};

// Removes the temporary files that saves of fileName left behind when they
// were cut short (a crash, a power cut): "<name>.XXXXXX" beside it, six
// letters or digits, that no save is writing any more. Called at start.
// Gives how many were removed.
int RemoveInterruptedSaves(const std::string& fileName);
