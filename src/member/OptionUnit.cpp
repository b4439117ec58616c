#include "member/OptionUnit.h"

#include "base/AsciiCase.h"
#include "base/ProfileFile.h"

#include <string_view>

std::unique_ptr<TOption> MemberOption;

namespace {

constexpr const char* kSection = "MemberOption";
constexpr int32_t kUsbPort = 100;
constexpr int32_t kLastSerialPort = kUsbPort - 1;

// Plain decimal digits only (no sign, no blank), at most two of them, since
// every valid number here is below 100.
bool SmallNumber(std::string_view digits, int32_t& value)
{
    if (digits.empty() || digits.size() > 2) {
        return false;
    }
    value = 0;
    for (char c : digits) {
        if (c < '0' || c > '9') {
            return false;
        }
        value = value * 10 + (c - '0');
    }
    return true;
}

} // namespace

TOption::TOption(std::string FileName)
    : FileName(std::move(FileName))
{
}

void TOption::Load()
{
    const TProfileFile ini(FileName);
    BlockNo = ini.ReadInteger(kSection, "BlockNo", 1);
    PortName = ini.ReadString(kSection, "PortName", "USB");
    Bandrate = ini.ReadInteger(kSection, "Bandrate", 9600);
    PrintMode = ini.ReadInteger(kSection, "PrintMode", 0);
    Adtext = ini.ReadString(kSection, "Adtext", "");
    YState = ini.ReadInteger(kSection, "YState", 350);
    Rowlen = ini.ReadInteger(kSection, "Rowlen", 24);
}

void TOption::Save() const
{
    TProfileFile ini(FileName);
    ini.WriteInteger(kSection, "BlockNo", BlockNo);
    ini.WriteString(kSection, "PortName", PortName);
    ini.WriteInteger(kSection, "Bandrate", Bandrate);
    ini.WriteInteger(kSection, "PrintMode", PrintMode);
    ini.WriteString(kSection, "Adtext", Adtext);
    ini.WriteInteger(kSection, "YState", YState);
    ini.WriteInteger(kSection, "Rowlen", Rowlen);
    ini.UpdateFile();
}

int32_t TOption::PortNumber() const
{
    if (PortName == "USB") {
        return kUsbPort;
    }
    const std::string_view name = PortName;
    int32_t n = 0;
    if (StartsWithNoCase(name, "COM")) {
        return SmallNumber(name.substr(3), n) && n >= 1 && n <= kLastSerialPort ? n : 0;
    }
    for (const std::string_view device : {std::string_view("/dev/ttyUSB"), std::string_view("/dev/ttyS")}) {
        if (name.starts_with(device)) {
            return SmallNumber(name.substr(device.size()), n) && n + 1 <= kLastSerialPort ? n + 1 : 0;
        }
    }
    return 0;
}
