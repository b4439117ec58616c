#include "config/SysOptionUnit.h"

#include "base/ExecutablePath.h"
#include "base/ProfileFile.h"

std::unique_ptr<TSysOption> SysOption;

namespace {
constexpr const char* kSys = "SysOption";
constexpr const char* kDoorlock = "DoorlockOption";
} // namespace

std::string OptionFileName()
{
    return ExecutableDirectory() + "Option.ini";
}

TSysOption::TSysOption(std::string fileName)
    : FileName(std::move(fileName))
{
}

void TSysOption::Load()
{
    const TProfileFile ini(FileName);
    Password = ini.ReadString(kSys, "Password", "qirtal");
    DoorlockPortNo = ini.ReadInteger(kSys, "DoorlockPortNo", 8886);
    HandPortNo = ini.ReadInteger(kSys, "HandPortNo", 8886);
    PolicePortNo = ini.ReadInteger(kSys, "PolicePortNo", 8885);
    MemberPortNo = ini.ReadInteger(kSys, "MemberPortNo", 8883);
    ScanPortNo = ini.ReadInteger(kSys, "ScanPortNo", 8881);
    WriteLog = ini.ReadBool(kSys, "WriteLog", true);
    LogKeepDays = ini.ReadInteger(kSys, "LogKeepDays", 0);
    DelayMinutes = ini.ReadInteger(kDoorlock, "DelayMinutes", 0);
    DelayMinutes2 = ini.ReadInteger(kDoorlock, "DelayMinutes2", 0);
    UseNativeDoorlockDb = ini.ReadBool(kDoorlock, "UseNativeDoorlockDb", false);
    SaveDoorlockRecord = ini.ReadBool(kDoorlock, "SaveDoorlockRecord", false);
    AutoReadDoorCard = ini.ReadBool(kDoorlock, "AutoReadDoorCard", false);
    PmsServer = ini.ReadString(kDoorlock, "PmsServer", "127.0.0.1");
    PmsServerPort = ini.ReadInteger(kDoorlock, "PmsServerPort", 9873);
}

void TSysOption::Save() const
{
    TProfileFile ini(FileName);
    ini.WriteString(kSys, "Password", Password);
    ini.WriteInteger(kSys, "DoorlockPortNo", DoorlockPortNo);
    ini.WriteInteger(kSys, "HandPortNo", HandPortNo);
    ini.WriteInteger(kSys, "PolicePortNo", PolicePortNo);
    ini.WriteInteger(kSys, "MemberPortNo", MemberPortNo);
    ini.WriteInteger(kSys, "ScanPortNo", ScanPortNo);
    ini.WriteBool(kSys, "WriteLog", WriteLog);
    ini.WriteInteger(kDoorlock, "DelayMinutes", DelayMinutes);
    ini.WriteInteger(kDoorlock, "DelayMinutes2", DelayMinutes2);
    ini.WriteBool(kDoorlock, "UseNativeDoorlockDb", UseNativeDoorlockDb);
    ini.WriteBool(kDoorlock, "SaveDoorlockRecord", SaveDoorlockRecord);
    ini.WriteBool(kDoorlock, "AutoReadDoorCard", AutoReadDoorCard);
    ini.WriteString(kDoorlock, "PmsServer", PmsServer);
    ini.WriteInteger(kDoorlock, "PmsServerPort", PmsServerPort);
    ini.UpdateFile();
}
