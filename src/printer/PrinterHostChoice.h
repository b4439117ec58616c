#pragma once

#include "printer/PrinterHostLibrary.h"

#include <string>
#include <vector>

// Which printer host runs the library in the program's folder, and how.
struct TPrinterHostChoice {
    // UnderWine for the vendor's Windows DLL in the Windows host.
    TPrinterHostSettings Settings;
    // Why no host can run the library there is (a Windows DLL without
    // Wine); empty when one can.
    std::string Problem;
    // What the program should say about the settings it could not use.
    std::vector<std::string> Warnings;
};

// programFolder and dataFolder with their trailing separators; comPorts is
// the WineComPorts setting. On Linux, a folder that holds the vendor's
// Windows DLL (a PE32 file) and no shared library gets the Windows host
// (member-printer-host.exe) under Wine, in the prefix dataFolder + "wine",
// which is made ready first; everything else gets the native host beside
// the program.
TPrinterHostChoice ChoosePrinterHost(
    const std::string& programFolder, const std::string& dataFolder, const std::string& comPorts);
