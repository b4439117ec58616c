#include "member/OptionUnit.h"

#include "base/AsciiCase.h"
#include "base/ProfileKey.h"

#include <string_view>

std::unique_ptr<TOption> MemberOption;

namespace {

constexpr std::string_view kSection = "MemberOption";

// The seven keys in the order Load reads and Save writes them.
constexpr TProfileKey<TOption> kKeys[] = {
    {kSection, "BlockNo", &TOption::BlockNo, 1},
    {kSection, "PortName", &TOption::PortName, "USB"},
    {kSection, "Bandrate", &TOption::Bandrate, 9600},
    {kSection, "PrintMode", &TOption::PrintMode, 0},
    {kSection, "Adtext", &TOption::Adtext, ""},
    {kSection, "YState", &TOption::YState, 350},
    {kSection, "Rowlen", &TOption::Rowlen, 24},
};

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
    SetProfileDefaults(kKeys, *this);
}

void TOption::Load()
{
    LoadProfile(FileName, kKeys, *this);
}

void TOption::Save() const
{
    SaveProfile(FileName, kKeys, *this);
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
