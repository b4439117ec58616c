#pragma once

#include <cstdint>
#include <memory>
#include <string>

// The card printer's settings in the MemberOption section of Option.ini.
// The driver reads them at every card operation, so a saved change reaches
// the next one; port settings take effect when the port is next opened.
class TOption {
public:
    // Stores the path; reads nothing.
    explicit TOption(std::string FileName);

    // A missing file, section or key, or a value that is no whole number,
    // gives the key's default.
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
    int32_t BlockNo = 1;
    std::string PortName = "USB";
    int32_t Bandrate = 9600;
    int32_t PrintMode = 0;
    // Advertising lines joined by the byte "|".
    std::string Adtext;
    int32_t YState = 350;
    int32_t Rowlen = 24;
};

// The one process-wide instance, created and loaded at start after SysOption.
extern std::unique_ptr<TOption> MemberOption;
