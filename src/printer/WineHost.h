#pragma once

#include <chrono>
#include <string>
#include <string_view>
#include <vector>

// A serial port the Windows printer library opens as COMn, and the device
// behind it.
struct TComPortMapping {
    int Number = 0;
    std::string Device;
};

// WineComPorts ("COM3=/dev/ttyUSB0; COM4=/dev/ttyACM0", separated by
// semicolons or commas, COM in any case, n from 1 to 256, an absolute
// device path). An entry that is not of that form is left out, and named in
// rejected.
std::vector<TComPortMapping> ParseComPorts(std::string_view text, std::vector<std::string>& rejected);

// The 32-bit Wine that Debian's wine32 installs (its loader is
// /usr/lib/wine/wine; only the wine package adds /usr/bin/wine), and a
// prefix of the service's own in which the Windows printer host runs.
class TWineHost {
public:
    // Wine as this machine has it; Found() is false without wine32.
    static TWineHost Find();

    bool Found() const { return !m_loader.empty(); }
    const std::string& Loader() const { return m_loader; }

    // What every Wine process of the prefix gets on top of the program's
    // environment: a 32-bit prefix, no debug output, no debugger.
    std::vector<std::string> Environment(const std::string& prefix) const;

    // Makes prefix ready for the host before its first start, so Wine's own
    // first start (several seconds) never counts against the host's start
    // bound: created, or updated after an upgrade of Wine, with crash
    // dialogs and the debugger off, and the serial ports mapped. Does only
    // what has changed since the last time. Empty when the prefix is ready,
    // else why not; Wine is given bound for all of it.
    std::string PreparePrefix(const std::string& prefix, const std::vector<TComPortMapping>& ports,
        std::chrono::milliseconds bound) const;

    // A path of this machine as Windows programs under Wine name it (on
    // drive Z:, which Wine maps to /).
    static std::string WindowsPath(const std::string& path);

private:
    // Runs Wine's program with arguments in prefix; empty when it ended
    // with exit code 0 before deadline, else why not (killed at deadline).
    std::string Run(const std::string& prefix, const std::vector<std::string>& arguments,
        std::chrono::steady_clock::time_point deadline) const;

    std::string m_loader;
    std::string m_server;
};
