#pragma once

#include <cstdint>
#include <memory>
#include <string>

// Settings of the interface shell in the SysOption and DoorlockOption
// sections of Option.ini. The member-card interface uses Password,
// MemberPortNo and WriteLog; the other keys belong to sibling interface kinds
// and are carried through every save so the file keeps them.
class TSysOption {
public:
    explicit TSysOption(std::string fileName);

    void Load();
    // Writes all fourteen keys at once; other sections stay as they are.
    // Throws EWriteError ("Unable to write to <file>") and then leaves the
    // file as it was.
    void Save() const;

    int32_t DoorlockPortNo = 8886;
    int32_t HandPortNo = 8886;
    bool UseNativeDoorlockDb = false;
    bool SaveDoorlockRecord = false;
    int32_t PolicePortNo = 8885;
    int32_t MemberPortNo = 8883;
    int32_t ScanPortNo = 8881;
    std::string FileName;
    std::string Password = "qirtal";
    int32_t DelayMinutes = 0;
    int32_t DelayMinutes2 = 0;
    bool WriteLog = true;
    // Day log files older than this many days are removed; 0 keeps them all.
    int32_t LogKeepDays = 0;
    bool AutoReadDoorCard = false;
    std::string PmsServer = "127.0.0.1";
    int32_t PmsServerPort = 9873;
};

// The one process-wide instance, created and loaded before anything else.
extern std::unique_ptr<TSysOption> SysOption;

// "Option.ini" in the folder of the running executable.
std::string OptionFileName();
