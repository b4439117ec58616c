#pragma once

#include <cstdint>
#include <memory>
#include <string>

// Settings of the interface shell in the SysOption and DoorlockOption
// sections of Option.ini. The member-card interface uses Password,
// MemberPortNo, WriteLog, LogKeepDays, LogMaxMB, RequestTimeoutSec,
// QueueTimeoutSec, IsolatePrinterLibrary and WineComPorts; the other keys belong to sibling
// interface kinds and are carried through every save so the file keeps them.
// Each key's name and default are in the key table in SysOptionUnit.cpp.
class TSysOption {
public:
    // Stores the path and sets every field to its key's default; reads nothing.
    explicit TSysOption(std::string fileName);

    // A missing file, section or key, or a value the file's rules do not
    // accept, gives the key's default.
    void Load();
    // Writes all twenty keys at once; other sections stay as they are.
    // Throws EWriteError ("Unable to write to <file>") and then leaves the
    // file as it was.
    void Save() const;

    int32_t DoorlockPortNo;
    int32_t HandPortNo;
    bool UseNativeDoorlockDb;
    bool SaveDoorlockRecord;
    int32_t PolicePortNo;
    int32_t MemberPortNo;
    int32_t ScanPortNo;
    std::string FileName;
    std::string Password;
    int32_t DelayMinutes;
    int32_t DelayMinutes2;
    bool WriteLog;
    bool AutoReadDoorCard;
    std::string PmsServer;
    int32_t PmsServerPort;
    // Days of daily log files to keep; 0 keeps them all.
    int32_t LogKeepDays;
    // Bound of one day's log in MB; past it, what clients sent is no longer
    // logged that day (0: no bound).
    int32_t LogMaxMB;
    // A member-port client that has not completed its request within this
    // many seconds is closed without an answer (0: no limit).
    int32_t RequestTimeoutSec;
    // A request that has waited this many seconds for the printer is dropped
    // instead of begun (0: no limit).
    int32_t QueueTimeoutSec;
    // The printer library runs in a process of its own (member-printer-host);
    // false loads it into the program.
    bool IsolatePrinterLibrary;
    // Linux, with the vendor's Windows DLL under Wine: serial ports the DLL
    // opens as COMn beyond Wine's own COMn = /dev/ttyS(n-1), as
    // "COM3=/dev/ttyUSB0; COM4=/dev/ttyACM0" (semicolons or commas).
    std::string WineComPorts;
};

// The one process-wide instance, created and loaded before anything else.
extern std::unique_ptr<TSysOption> SysOption;

// "Option.ini" in the data folder (DataDirectory).
std::string OptionFileName();
