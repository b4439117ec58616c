#include "sim/PrinterStateFile.h"

#include "base/StrToInt.h"

#include <sys/stat.h>

#include <algorithm>

namespace {

constexpr const char* kCard = "Card";
constexpr const char* kFaults = "Faults";
constexpr int32_t kMaxDelayMs = 60000;

std::string BlockKey(int32_t block)
{
    return "Block" + std::to_string(block);
}

bool IsBlankOrQuote(char c)
{
    return c == ' ' || c == '\t' || c == '"' || c == '\'';
}

bool FileExists(const std::string& fileName)
{
    struct stat st {};
    return stat(fileName.c_str(), &st) == 0;
}

} // namespace

TPrinterStateFile::TPrinterStateFile(std::string fileName)
    : m_ini(fileName)
    , m_exists(FileExists(fileName))
{
}

bool TPrinterStateFile::CardPresent() const
{
    return m_ini.ReadBool(kCard, "Present", true);
}

bool TPrinterStateFile::CardInside() const
{
    return m_ini.ReadBool(kCard, "Inside", false);
}

void TPrinterStateFile::SetCardPresent(bool present)
{
    m_ini.WriteBool(kCard, "Present", present);
}

void TPrinterStateFile::SetCardInside(bool inside)
{
    m_ini.WriteBool(kCard, "Inside", inside);
}

std::string TPrinterStateFile::Block(int32_t block) const
{
    return m_ini.ReadString(kCard, BlockKey(block), "");
}

void TPrinterStateFile::SetBlock(int32_t block, std::string_view data)
{
    // The INI layer drops blanks around a value and one pair of enclosing
    // quotes; quoting such data keeps every byte of it.
    const bool quote = !data.empty() && (IsBlankOrQuote(data.front()) || IsBlankOrQuote(data.back()));
    m_ini.WriteString(kCard, BlockKey(block), quote ? "\"" + std::string(data) + "\"" : std::string(data));
}

std::optional<int32_t> TPrinterStateFile::Fault(std::string_view function) const
{
    int32_t status = 0;
    if (TryStrToInt(m_ini.ReadString(kFaults, function, ""), status)) {
        return status;
    }
    return std::nullopt;
}

int32_t TPrinterStateFile::DelayMs() const
{
    return std::clamp(m_ini.ReadInteger(kFaults, "DelayMs", 0), 0, kMaxDelayMs);
}

std::string TPrinterStateFile::CrashFunction() const
{
    return m_ini.ReadString(kFaults, "Crash", "");
}

std::string TPrinterStateFile::HangFunction() const
{
    return m_ini.ReadString(kFaults, "Hang", "");
}

int32_t TPrinterStateFile::CrashEvery() const
{
    return std::max(m_ini.ReadInteger(kFaults, "CrashEvery", 1), 1);
}

int32_t TPrinterStateFile::CrashCount() const
{
    return std::max(m_ini.ReadInteger(kFaults, "CrashCount", 0), 0);
}

void TPrinterStateFile::SetCrashCount(int32_t count)
{
    m_ini.WriteInteger(kFaults, "CrashCount", count);
}

void TPrinterStateFile::WriteDefaults()
{
    SetCardPresent(CardPresent());
    SetCardInside(CardInside());
}

void TPrinterStateFile::Save()
{
    m_ini.UpdateFile();
    m_exists = true;
}
