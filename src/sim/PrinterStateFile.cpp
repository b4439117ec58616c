#include "sim/PrinterStateFile.h"

#include "base/StrToInt.h"

#include <algorithm>

namespace {

constexpr const char* kCard = "Card";
constexpr const char* kFaults = "Faults";
constexpr int32_t kMaxDelayMs = 60000;
// How far apart two writes must be for them to get different modification
// times as this library reads them: a few milliseconds on ext4, but a whole
// second through the C runtime's stat on Windows, and two on FAT. Reading
// the file again for that long after a version costs a read from the cache,
// never a wait for the disk.
constexpr auto kFileClockTick = std::chrono::seconds(2);

std::string BlockKey(int32_t block)
{
    return "Block" + std::to_string(block);
}

bool IsBlankOrQuote(char c)
{
    return c == ' ' || c == '\t' || c == '"' || c == '\'';
}

} // namespace

TPrinterStateFile::TPrinterStateFile(std::string fileName)
    : m_ini(fileName)
{
    Stamp();
    m_exists = m_stamp.Valid;
}

void TPrinterStateFile::Stamp()
{
    m_stampedAt = std::filesystem::file_time_type::clock::now();
    m_stamp = StampOf(m_ini.FileName());
}

TPrinterStateFile::TStamp TPrinterStateFile::StampOf(const std::string& fileName)
{
    std::error_code error;
    TStamp stamp;
    stamp.Time = std::filesystem::last_write_time(fileName, error);
    if (error) {
        return {};
    }
    stamp.Size = std::filesystem::file_size(fileName, error);
    stamp.Valid = !error;
    return stamp;
}

bool TPrinterStateFile::OutOfDate() const
{
    if (!(StampOf(m_ini.FileName()) == m_stamp)) {
        return true;
    }
    // A file written within the same tick as the version held here (a
    // test's edit right after a save of ours) keeps its stamp: until its
    // time is safely past, it is read again.
    return m_stamp.Time + kFileClockTick >= m_stampedAt;
}

void TPrinterStateFile::Write(std::string_view section, std::string_view key, const std::string& value)
{
    // Only a real change makes a save worth its writing.
    if (m_ini.ReadString(section, key, "\n") == value) {
        return;
    }
    m_ini.WriteString(section, key, value);
    m_changed = true;
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
    Write(kCard, "Present", present ? "1" : "0");
}

void TPrinterStateFile::SetCardInside(bool inside)
{
    Write(kCard, "Inside", inside ? "1" : "0");
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
    Write(kCard, BlockKey(block), quote ? "\"" + std::string(data) + "\"" : std::string(data));
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

bool TPrinterStateFile::OpenSerialPort() const
{
    return m_ini.ReadInteger("Port", "OpenSerial", 0) != 0;
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
    Write(kFaults, "CrashCount", std::to_string(count));
}

void TPrinterStateFile::WriteDefaults()
{
    SetCardPresent(CardPresent());
    SetCardInside(CardInside());
}

void TPrinterStateFile::Save()
{
    if (!m_changed && m_exists) {
        return;
    }
    try {
        m_ini.UpdateFile(TDurability::ProgramCrash);
    } catch (const EWriteError&) {
        // What stays unsaved is this object's alone: read afresh next time.
        m_stamp = {};
        throw;
    }
    Stamp();
    m_exists = true;
    m_changed = false;
}
