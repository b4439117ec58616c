#include "printer/WineHost.h"

#include "printer/PrinterHostProcess.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

// Debian's wine32 installs the 32-bit loader here; /usr/bin/wine comes only
// with the wine package, and a 64-bit Wine alone cannot run the 32-bit host.
constexpr const char* kLoader = "/usr/lib/wine/wine";
// With wine32 and wine64 both installed, the 32-bit server must be named,
// or the loader may start the 64-bit one, which refuses a 32-bit prefix.
constexpr const char* kServers[] = {"/usr/lib/wine/wineserver32", "/usr/lib/wine/wineserver"};
// Wine brings a prefix up to date whenever the time stamp it keeps there
// differs from this file's modification time: after an upgrade of Wine.
constexpr const char* kWineInf = "/usr/share/wine/wine.inf";
// What this program last imported into the prefix's registry.
constexpr const char* kSettingsFile = "member-interface.reg";

bool Executable(const char* path)
{
    return access(path, X_OK) == 0;
}

std::string Trimmed(std::string_view text)
{
    const auto blank = [](char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; };
    while (!text.empty() && blank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && blank(text.back())) {
        text.remove_suffix(1);
    }
    return std::string(text);
}

std::string FileText(const std::filesystem::path& path)
{
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

// Whether Wine has set up prefix for the Wine installed now.
bool UpToDate(const std::filesystem::path& prefix)
{
    // Written once wineboot has set the prefix up; the registry files come
    // later, when Wine's server ends.
    const std::string stamp = Trimmed(FileText(prefix / ".update-timestamp"));
    struct stat inf {};
    if (stat(kWineInf, &inf) != 0) {
        return !stamp.empty();
    }
    return stamp == std::to_string(inf.st_mtime);
}

// The registry settings of the prefix: an unhandled exception ends the
// process at once (no dialog, no debugger waiting for someone), and the
// serial ports map as configured, replacing every earlier mapping.
std::string RegistrySettings(const std::vector<TComPortMapping>& ports)
{
    std::string text = "REGEDIT4\r\n\r\n"
                       "[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows NT\\CurrentVersion\\AeDebug]\r\n"
                       "\"Auto\"=\"1\"\r\n"
                       "\"Debugger\"=\"\"\r\n\r\n"
                       "[-HKEY_LOCAL_MACHINE\\Software\\Wine\\Ports]\r\n\r\n"
                       "[HKEY_LOCAL_MACHINE\\Software\\Wine\\Ports]\r\n";
    for (const TComPortMapping& port : ports) {
        text += "\"COM" + std::to_string(port.Number) + "\"=\"" + port.Device + "\"\r\n";
    }
    return text;
}

} // namespace

std::vector<TComPortMapping> ParseComPorts(std::string_view text, std::vector<std::string>& rejected)
{
    std::vector<TComPortMapping> ports;
    while (!text.empty()) {
        const size_t end = text.find_first_of(",;");
        const std::string entry = Trimmed(text.substr(0, end));
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (entry.empty()) {
            continue;
        }
        const size_t equals = entry.find('=');
        const std::string name = Trimmed(entry.substr(0, equals == std::string::npos ? 0 : equals));
        const std::string device = equals == std::string::npos ? std::string() : Trimmed(entry.substr(equals + 1));
        const std::string digits = name.size() > 3 ? name.substr(3) : std::string();
        const bool named = name.size() > 3 && name.size() <= 6 && strncasecmp(name.c_str(), "COM", 3) == 0
            && digits.find_first_not_of("0123456789") == std::string::npos;
        const int number = named ? std::stoi(digits) : 0;
        // The registry value is written as it is: no quotes or backslashes.
        const bool path = device.size() > 1 && device.front() == '/'
            && device.find_first_of("\"\\") == std::string::npos;
        if (number < 1 || number > 256 || !path) {
            rejected.push_back(entry);
            continue;
        }
        ports.push_back({number, device});
    }
    return ports;
}

TWineHost TWineHost::Find()
{
    TWineHost wine;
    if (!Executable(kLoader)) {
        return wine;
    }
    for (const char* server : kServers) {
        if (Executable(server)) {
            wine.m_loader = kLoader;
            wine.m_server = server;
            break;
        }
    }
    return wine;
}

std::vector<std::string> TWineHost::Environment(const std::string& prefix) const
{
    return {
        "WINEPREFIX=" + prefix,
        "WINEARCH=win32",
        "WINESERVER=" + m_server,
        "WINEDEBUG=-all",
        // No debugger for a crash, and no offer to install Wine's .NET and
        // HTML engines while the prefix is made: nothing of it is needed.
        "WINEDLLOVERRIDES=winedbg.exe,mscoree,mshtml=d",
    };
}

std::string TWineHost::WindowsPath(const std::string& path)
{
    std::string windows = "Z:" + path;
    for (char& c : windows) {
        if (c == '/') {
            c = '\\';
        }
    }
    return windows;
}

std::string TWineHost::Run(const std::string& prefix, const std::vector<std::string>& arguments,
    std::chrono::steady_clock::time_point deadline) const
{
    // Started as the host is, with the same environment: its end is seen on
    // a pidfd, and what it started ends with it.
    TPrinterHostProcess tool;
    const std::string what = "wine " + arguments.front();
    if (std::string why = tool.Start(m_loader, arguments, Environment(prefix)); !why.empty()) {
        return why;
    }
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    const TPrinterHostProcess::TExit exit = tool.Finish(std::max(left, std::chrono::milliseconds(0)));
    if (exit.Unknown || exit.Signalled || exit.Code != 0) {
        return what + " failed or did not end in time (" + TPrinterHostProcess::Describe(exit) + ")";
    }
    return {};
}

std::string TWineHost::PreparePrefix(
    const std::string& prefix, const std::vector<TComPortMapping>& ports, std::chrono::milliseconds bound) const
{
    const auto deadline = std::chrono::steady_clock::now() + bound;
    const std::filesystem::path folder(prefix);
    std::error_code error;
    if (!UpToDate(folder)) {
        // Wine wants the prefix to be the user's own, and nobody else's.
        std::filesystem::create_directories(folder, error);
        std::filesystem::permissions(folder, std::filesystem::perms::owner_all, error);
        if (std::string why = Run(prefix, {"wineboot", "--init"}, deadline); !why.empty()) {
            return "cannot make the Wine prefix " + prefix + ": " + why;
        }
    }
    const std::string settings = RegistrySettings(ports);
    if (FileText(folder / kSettingsFile) != settings) {
        const std::filesystem::path next = folder / (std::string(kSettingsFile) + ".new");
        std::ofstream(next, std::ios::binary | std::ios::trunc) << settings;
        if (std::string why = Run(prefix, {"reg", "import", WindowsPath(next.string())}, deadline); !why.empty()) {
            return "cannot set the Wine prefix's registry: " + why;
        }
        std::filesystem::rename(next, folder / kSettingsFile, error);
    }
    // Wine's mount manager makes these links from the registry whenever its
    // services start; made here too, they hold from the host's first call.
    for (const TComPortMapping& port : ports) {
        const std::filesystem::path link = folder / "dosdevices" / ("com" + std::to_string(port.Number));
        std::filesystem::remove(link, error);
        std::filesystem::create_symlink(port.Device, link, error);
    }
    return {};
}
