#include "config/SysOptionUnit.h"

#include "base/DataDirectory.h"
#include "base/ProfileKey.h"

std::unique_ptr<TSysOption> SysOption;

namespace {

constexpr std::string_view kSys = "SysOption";
constexpr std::string_view kDoorlock = "DoorlockOption";

// Every key of the two sections, in the order Load reads and Save writes
// them. The keys from LogKeepDays on came after the others and are written
// last, so files written before them keep their order.
constexpr TProfileKey<TSysOption> kKeys[] = {
    {kSys, "Password", &TSysOption::Password, "qirtal"},
    {kSys, "DoorlockPortNo", &TSysOption::DoorlockPortNo, 8886},
    {kSys, "HandPortNo", &TSysOption::HandPortNo, 8886},
    {kSys, "PolicePortNo", &TSysOption::PolicePortNo, 8885},
    {kSys, "MemberPortNo", &TSysOption::MemberPortNo, 8883},
    {kSys, "ScanPortNo", &TSysOption::ScanPortNo, 8881},
    {kSys, "WriteLog", &TSysOption::WriteLog, true},
    {kDoorlock, "DelayMinutes", &TSysOption::DelayMinutes, 0},
    {kDoorlock, "DelayMinutes2", &TSysOption::DelayMinutes2, 0},
    {kDoorlock, "UseNativeDoorlockDb", &TSysOption::UseNativeDoorlockDb, false},
    {kDoorlock, "SaveDoorlockRecord", &TSysOption::SaveDoorlockRecord, false},
    {kDoorlock, "AutoReadDoorCard", &TSysOption::AutoReadDoorCard, false},
    {kDoorlock, "PmsServer", &TSysOption::PmsServer, "127.0.0.1"},
    {kDoorlock, "PmsServerPort", &TSysOption::PmsServerPort, 9873},
    {kSys, "LogKeepDays", &TSysOption::LogKeepDays, 0},
    {kSys, "LogMaxMB", &TSysOption::LogMaxMB, 1024},
    {kSys, "RequestTimeoutSec", &TSysOption::RequestTimeoutSec, 120},
    {kSys, "QueueTimeoutSec", &TSysOption::QueueTimeoutSec, 0},
    {kSys, "IsolatePrinterLibrary", &TSysOption::IsolatePrinterLibrary, true},
    {kSys, "WineComPorts", &TSysOption::WineComPorts, ""},
};

} // namespace

std::string OptionFileName()
{
    return DataDirectory() + "Option.ini";
}

TSysOption::TSysOption(std::string fileName)
    : FileName(std::move(fileName))
{
    SetProfileDefaults(kKeys, *this);
}

void TSysOption::Load()
{
    LoadProfile(FileName, kKeys, *this);
}

void TSysOption::Save() const
{
    SaveProfile(FileName, kKeys, *this);
}
