#pragma once

#include "base/ProfileFile.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

// The simulated printer's state in CardPrinter.ini, which people and tests
// edit while a program uses the printer:
//
//   [Card]
//   Present=1        a card waits at the feed slot (default 1)
//   Inside=0         the card is inside the printer (default 0)
//   Block0=...       RFID block 0 to 63, GBK text of up to 16 bytes
//   [Faults]
//   CardInOver=56    every call of that function returns 56
//   DelayMs=50       every card or print call takes that much longer
//   Crash=CardInOver that function crashes the process (a null write)
//   CrashEvery=10    ... only on every 10th call (CrashCount counts them)
//   Hang=CardInOver  that function never returns
//   [Port]
//   OpenSerial=1     CommOpen of serial port n opens the real port (COMn;
//                    /dev/ttyS(n-1) on Linux) and sends it one ENQ byte, as
//                    the vendor's library greets its printer; it fails (no
//                    handle) when the port cannot be opened (default 0)
//
// An object holds one reading of the file and is kept while the file stays
// as it was: OutOfDate says when someone else has changed it. Save writes
// the changes back in one step, and only when there are any.
class TPrinterStateFile {
public:
    static constexpr int32_t BlockCount = 64;

    explicit TPrinterStateFile(std::string fileName);

    bool Exists() const { return m_exists; }
    // The file's modification time or size is no longer the one read or
    // last saved here: someone else wrote it, or a save here failed.
    bool OutOfDate() const;

    bool CardPresent() const;
    bool CardInside() const;
    void SetCardPresent(bool present);
    void SetCardInside(bool inside);

    // block must lie in 0..BlockCount-1. A block never written is empty.
    std::string Block(int32_t block) const;
    void SetBlock(int32_t block, std::string_view data);

    // The status forced on every call of that function, if any; a value
    // that is no whole number forces nothing.
    std::optional<int32_t> Fault(std::string_view function) const;
    // From 0 to one minute; a longer or unreadable value is cut to that range.
    int32_t DelayMs() const;
    // The function named by Crash= and by Hang=; empty when none is.
    std::string CrashFunction() const;
    std::string HangFunction() const;
    bool OpenSerialPort() const;
    // Every how many calls the Crash function crashes; 1 (every call) for
    // a missing value or one below 1.
    int32_t CrashEvery() const;
    // The Crash function's calls counted so far for CrashEvery.
    int32_t CrashCount() const;
    void SetCrashCount(int32_t count);

    // Writes the card's keys with their defaults, so a new file shows what
    // can be changed.
    void WriteDefaults();

    // Writes the file when something has changed since it was read or last
    // saved. A crash of the program cannot lose what it wrote, a power cut
    // may: the simulator's card is worth no wait for the disk on every
    // call. Throws EWriteError.
    void Save();

private:
    // What tells one version of the file from the next.
    struct TStamp {
        std::filesystem::file_time_type Time;
        std::uintmax_t Size = 0;
        bool Valid = false;
        bool operator==(const TStamp&) const = default;
    };
    static TStamp StampOf(const std::string& fileName);
    // Takes the file's stamp as the one this object holds.
    void Stamp();

    void Write(std::string_view section, std::string_view key, const std::string& value);

    TProfileFile m_ini;
    TStamp m_stamp;
    // When m_stamp was taken, on the clock of file times.
    std::filesystem::file_time_type m_stampedAt;
    bool m_exists = false;
    bool m_changed = false;
};
