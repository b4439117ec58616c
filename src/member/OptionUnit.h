#pragma once

#include <cstdint>
#include <memory>
#include <string>

// The card printer's settings in the MemberOption section of Option.ini.
// The driver reads them at every card operation, so a saved change reaches
// the next one; port settings take effect when the port is next opened.
// Each key's name and default are in the key table in OptionUnit.cpp.
class TOption {
public:
    // Stores the path and sets every field to its key's default; reads nothing.
    explicit TOption(std::string FileName);

    // A missing file, section or key, or a value the file's rules do not
    // accept (decimal with an optional sign, or hexadecimal after "0x", "0X"
    // or "$"), gives the key's default.
    void Load();
    // Writes the seven keys at once; other sections and keys stay as they
    // are. Throws EWriteError ("Unable to write to <file>") and then leaves
    // the file as it was.
    void Save() const;

    // The port number handed to CommOpen:
    //   "USB" (exactly so, letter case significant)   -> 100
    //   "COMn", n from 1 to 99 ("com" in any case)    -> n
    //   "/dev/ttySn", n from 0 to 98                  -> n + 1
    //   "/dev/ttyUSBn", n from 0 to 98                -> n + 1
    //   anything else                                 -> 0, which no printer port has
    // Serial numbers stay below 100 so that no serial name can open the USB
    // port. On Linux the first serial device of either kind is port 1, just
    // as COM1 is the first one on Windows.
    int32_t PortNumber() const;

    std::string FileName;
    int32_t BlockNo;
    std::string PortName;
    int32_t Bandrate;
    int32_t PrintMode;
    // Advertising lines joined by the byte "|".
    std::string Adtext;
    int32_t YState;
    int32_t Rowlen;
};

// The one process-wide instance, created and loaded at start after SysOption.
extern std::unique_ptr<TOption> MemberOption;
