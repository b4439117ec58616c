#include "WineBench.h"

#include "SoakProgram.h"

#include "base/ExecutablePath.h"
#include "host/PrinterHostProtocol.h"
#include "host/RCPV11VCDLL.h"
#include "member/TRWGII2010DMemberUnit.h"
#include "printer/PrinterHostChoice.h"
#include "printer/PrinterHostLibrary.h"

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <stdexcept>
#include <vector>

namespace {

using TClock = std::chrono::steady_clock;
namespace fs = std::filesystem;

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

double Milliseconds(TClock::duration d)
{
    return std::chrono::duration<double, std::milli>(d).count();
}

// A program folder as a hotel has it for the Windows DLL: the Linux
// program, the Windows host and the DLL with what they need, no .so.
std::string WindowsFolder(const std::string& windowsBin, const fs::path& root)
{
    const fs::path program = root / "program";
    fs::create_directories(program);
    fs::create_directories(root / "data");
    fs::copy_file(ExecutableDirectory() + "member-interface", program / "member-interface");
    for (const fs::directory_entry& entry : fs::directory_iterator(windowsBin)) {
        const std::string name = entry.path().filename().string();
        if (entry.path().extension() == ".dll" || name == "member-printer-host.exe" || name == "platforms") {
            fs::create_symlink(entry.path(), program / name);
        }
    }
    return program.string() + "/";
}

void AddedTime(const std::string& windowsBin, const fs::path& root, size_t transactions)
{
    const std::string program = WindowsFolder(windowsBin, root / "wine");
    const TPrinterHostChoice choice = ChoosePrinterHost(program, (root / "wine" / "data").string() + "/", "");
    if (!choice.Settings.UnderWine || !choice.Problem.empty()) {
        throw std::runtime_error("no Wine host: " + choice.Problem);
    }
    const fs::path native = root / "native";
    fs::create_directories(native);
    const std::string bin = ExecutableDirectory();
    for (const char* file : {TRCPV11Library::FileName, PrinterHost::FileName}) {
        fs::copy_file(bin + file, native / file);
    }
    TPrinterHostSettings settings;
    settings.HostPath = (native / PrinterHost::FileName).string();
    TPrinterHostLibrary nativeHost(settings);
    TPrinterHostLibrary wineHost(choice.Settings);
    if (!nativeHost.Loaded() || !wineHost.Loaded()) {
        throw std::runtime_error("the simulator could not be loaded: " + nativeHost.LoadError() + wineHost.LoadError());
    }
    TTRWGII2010DMember nativeDevice(nativeHost);
    TTRWGII2010DMember wineDevice(wineHost);
    if (!nativeDevice.OpenPort() || !wineDevice.OpenPort()) {
        throw std::runtime_error("the simulator's port did not open");
    }
    const auto time = [](TTRWGII2010DMember& device) {
        const auto start = TClock::now();
        if (!device.WriteCard("00012345", "", "", "", 0)) {
            throw std::runtime_error("a write failed");
        }
        return Milliseconds(TClock::now() - start);
    };
    for (size_t i = 0; i < transactions / 10 + 10; ++i) {
        time(nativeDevice);
        time(wineDevice);
    }
    std::vector<double> nativeTimes;
    std::vector<double> wineTimes;
    std::vector<double> added;
    for (size_t i = 0; i < transactions; ++i) {
        const double a = time(nativeDevice);
        const double b = time(wineDevice);
        nativeTimes.push_back(a);
        wineTimes.push_back(b);
        added.push_back(b - a);
    }
    std::printf("write, %zu each: native host p50 %.2f ms, Wine host p50 %.2f ms, added p50 %.2f ms (goal < 5 ms)\n",
        transactions, Median(nativeTimes), Median(wineTimes), Median(added));
    nativeDevice.ClosePort();
    wineDevice.ClosePort();
}

void FirstStart(const std::string& windowsBin, const fs::path& root)
{
    // The program's folder is its data folder too: the prefix is made there.
    const std::string program = WindowsFolder(windowsBin, root / "first");
    const auto start = TClock::now();
    TSoakProgram run(program, FreePort());
    const bool listening = run.WaitUntilListening(std::chrono::seconds(60));
    const double seconds = Milliseconds(TClock::now() - start) / 1000;
    run.Terminate(std::chrono::seconds(20));
    if (!listening) {
        std::printf("first start with a fresh Wine prefix: not listening after 60 s\n");
        return;
    }
    std::printf("first start with a fresh Wine prefix: the member port listens after %.1f s (goal < 10 s)\n", seconds);
}

} // namespace

void RunWineBench(const std::string& windowsBin, size_t transactions)
{
    std::printf("\n== The Windows DLL in the Windows host under Wine (simulator without delay) ==\n");
    if (!fs::exists(fs::path(windowsBin) / "member-printer-host.exe")
        || !fs::exists(fs::path(windowsBin) / "RCPV11_VCDLL.dll")) {
        std::printf("skipped: no Windows build in %s (scripts/windows build, or --windows-bin DIR)\n",
            windowsBin.c_str());
        return;
    }
    const fs::path root = fs::temp_directory_path() / ("member-bench-wine-" + std::to_string(getpid()));
    fs::remove_all(root);
    try {
        AddedTime(windowsBin, root, transactions);
        FirstStart(windowsBin, root);
    } catch (...) {
        fs::remove_all(root);
        throw;
    }
    fs::remove_all(root);
}
