#include "BenchEnvironment.h"

#include "base/FormatSettings.h"
#include "config/SysOptionUnit.h"
#include "member/DeviceQueue.h"
#include "member/OptionUnit.h"
#include "log/LogFileUnit.h"

#include <stdexcept>
#include <sys/stat.h>

TBenchEnvironment::TBenchEnvironment()
{
    if (!m_dir.isValid()) {
        throw std::runtime_error("cannot create a temporary folder");
    }
    const std::string dir = m_dir.path().toStdString() + "/";
    FormatSettings::Fix();
    SysOption = std::make_unique<TSysOption>(dir + "Option.ini");
    SysOption->Load();
    LogFile = std::make_unique<TLogFile>(dir + "bench.LOG");
    CurrentMemberDevice = &m_device;
    // A listener's stop leaves the device queue refusing requests until a
    // listener starts again; the handler benchmark, run after one that
    // stopped its server, has none of its own.
    DeviceQueue.AcceptRequests();
}

TBenchEnvironment::~TBenchEnvironment()
{
    CurrentMemberDevice = nullptr;
    LogFile.reset();
    SysOption.reset();
}

void TBenchEnvironment::SetLogging(bool on)
{
    SysOption->WriteLog = on;
}

size_t TBenchEnvironment::LogBytes() const
{
    struct stat st {};
    return stat(LogFile->FileName().c_str(), &st) == 0 ? static_cast<size_t>(st.st_size) : 0;
}

namespace {

// Swapped in a turn of its own, so the device thread sees the new device
// through the queue's lock rather than by chance.
TBaseMember* SwapCurrentDevice(TBaseMember* device)
{
    TBaseMember* previous = nullptr;
    DeviceQueue.RunTurn([&] {
        previous = CurrentMemberDevice;
        CurrentMemberDevice = device;
    });
    return previous;
}

} // namespace

TNoLibraryDevice::TNoLibraryDevice()
    : m_library(m_dir.filePath(QStringLiteral("missing.so")).toStdString())
    , m_device(m_library)
{
    MemberOption = std::make_unique<TOption>(m_dir.filePath(QStringLiteral("Option.ini")).toStdString());
    m_previous = SwapCurrentDevice(&m_device);
}

TNoLibraryDevice::~TNoLibraryDevice()
{
    SwapCurrentDevice(m_previous);
    MemberOption.reset();
}

namespace BenchRequests {
const char* const Write = "<MemberRequest type=\"WriteMemberCard\"><RequestID>1</RequestID><CardNo>00012345</CardNo>"
                          "<ExpireDate>2030-12-31</ExpireDate><GuestName>张三</GuestName><Score>100</Score>"
                          "</MemberRequest>";
const char* const Read
    = "<MemberRequest type=\"ReadMemberCard\"><InputPassword>0</InputPassword><Channel>11</Channel></MemberRequest>";
const char* const Print = "<MemberRequest type=\"PrintMemberCard\"><RequestID>1</RequestID><CardNo>00012345</CardNo>"
                          "<Content>\r\n当前消费:100\r\n卡内余额:300</Content></MemberRequest>";
} // namespace BenchRequests
