#include "printer/PrinterHostChoice.h"

#include "base/DataDirectory.h"
#include "host/RCPV11VCDLL.h"
#include "printer/WineHost.h"

#include <chrono>
#include <filesystem>
#include <fstream>

namespace {

// The vendor's library under its Windows name, and the Windows printer host.
constexpr const char* kWindowsLibrary = "RCPV11_VCDLL.dll";
constexpr const char* kWindowsHost = "member-printer-host.exe";
// Making a prefix takes several seconds, more on a slow disk; the host's
// own start bound begins only after it.
constexpr std::chrono::seconds kPrefixBound {60};

// A 32-bit Windows executable or DLL: an MZ header whose PE header names
// the i386 machine.
bool IsPe32(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    char dos[64] {};
    if (!file.read(dos, sizeof dos) || dos[0] != 'M' || dos[1] != 'Z') {
        return false;
    }
    const auto offset = static_cast<uint32_t>(static_cast<unsigned char>(dos[60]))
        | static_cast<uint32_t>(static_cast<unsigned char>(dos[61])) << 8
        | static_cast<uint32_t>(static_cast<unsigned char>(dos[62])) << 16
        | static_cast<uint32_t>(static_cast<unsigned char>(dos[63])) << 24;
    char pe[6] {};
    file.seekg(offset);
    return static_cast<bool>(file.read(pe, sizeof pe)) && pe[0] == 'P' && pe[1] == 'E' && pe[2] == 0
        && pe[3] == 0 && static_cast<unsigned char>(pe[4]) == 0x4C && pe[5] == 0x01;
}

} // namespace

TPrinterHostChoice ChoosePrinterHost(
    const std::string& programFolder, const std::string& dataFolder, const std::string& comPorts)
{
    TPrinterHostChoice choice;
    const std::string dll = programFolder + kWindowsLibrary;
    std::error_code error;
    if (std::filesystem::exists(programFolder + TRCPV11Library::FileName, error) || !IsPe32(dll)) {
        return choice;
    }
    choice.Settings.UnderWine = true;
    choice.Settings.StatusLibraryPath = dll;
    const TWineHost wine = TWineHost::Find();
    const std::string host = programFolder + kWindowsHost;
    if (!wine.Found()) {
        choice.Problem = "Windows printer library needs wine32: apt install wine32 (after dpkg --add-architecture i386)";
        return choice;
    }
    if (!std::filesystem::exists(host, error)) {
        choice.Problem = "Windows printer library needs the Windows printer host " + host
            + ": apt install member-interface-windows-host";
        return choice;
    }
    std::vector<std::string> rejected;
    const std::vector<TComPortMapping> ports = ParseComPorts(comPorts, rejected);
    for (const std::string& entry : rejected) {
        choice.Warnings.push_back("WineComPorts: '" + entry + "' is not COMn=/dev/<device>; left out");
    }
    const std::string prefix = dataFolder + "wine";
    if (std::string why = wine.PreparePrefix(prefix, ports, kPrefixBound); !why.empty()) {
        choice.Problem = why;
        return choice;
    }
    choice.Settings.HostPath = wine.Loader();
    choice.Settings.HostArguments = {host};
    choice.Settings.LibraryPath = TWineHost::WindowsPath(dll);
    choice.Settings.HostEnvironment = wine.Environment(prefix);
    // The simulator finds its data folder in the environment, as a Windows
    // path under Wine.
    choice.Settings.HostEnvironment.push_back(
        std::string(kDataDirectoryVariable) + "=" + TWineHost::WindowsPath(dataFolder));
    return choice;
}
