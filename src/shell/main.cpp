#include "base/DataDirectory.h"
#include "base/ExecutablePath.h"
#include "base/InstalledDataDirectory.h"
#include "base/LibrarySearch.h"
#include "base/ProfileFile.h"
#include "base/SocketPlatform.h"
#include "base/TextCodec.h"
#include "config/HttpOption.h"
#include "config/SysOptionUnit.h"
#include "member/DeviceQueue.h"
#include "status/DayCountsFile.h"
#include "member/OptionUnit.h"
#include "printer/PrinterHostChoice.h"
#include "printer/PrinterHostLibrary.h"
#include "server/MemberServer.h"
#include "host/RCPV11VCDLL.h"
#include "status/ServiceStatus.h"
#include "member/TRWGII2010DMemberUnit.h"
#include "shell/HeadlessRun.h"
#include "shell/MemberProgram.h"
#include "shell/PluginFolders.h"
#include "shell/ProgramArguments.h"
#include "shell/ShutdownSignals.h"
#include "log/LogFileUnit.h"
#include "ui/DialogLook.h"

#include <QApplication>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <system_error>

namespace {

// Command line not understood (sysexits' EX_USAGE).
constexpr int kExitUsage = 64;
// Nobody can see the window and nothing listens (EX_UNAVAILABLE): a service
// manager sees the failure and may try again later.
constexpr int kExitNotListening = 69;
constexpr int kDayCountsSaveMs = 5000;

// The printer library the device drives, and what it is.
struct TPrinterLibraryChoice {
    std::unique_ptr<TCardPrinterLibrary> Library;
    TPrinterLibraryKind Kind = TPrinterLibraryKind::None;
    std::string Error;
    // The library file, loaded or not.
    std::string Path;
    // Gives up the call in progress; empty for a library in this process.
    std::function<void()> GiveUp;
};

template <class TLibrary>
TPrinterLibraryChoice Chosen(std::unique_ptr<TLibrary> library)
{
    TPrinterLibraryChoice choice;
    if (library->Loaded()) {
        choice.Kind = library->IsSimulator() ? TPrinterLibraryKind::Simulator : TPrinterLibraryKind::Vendor;
    }
    choice.Error = library->LoadError();
    choice.Path = library->LibraryPath();
    choice.Library = std::move(library);
    return choice;
}

// In a process of its own (the printer host beside the program, which the
// program's stop can give up on), or loaded into the program.
// The vendor's Windows DLL on Linux runs only in the Windows host under
// Wine, whatever isolate says.
TPrinterLibraryChoice ChoosePrinterLibrary(bool isolate)
{
    const TPrinterHostChoice hostChoice
        = ChoosePrinterHost(ExecutableDirectory(), DataDirectory(), SysOption->WineComPorts);
    for (const std::string& warning : hostChoice.Warnings) {
        std::fprintf(stderr, "member-interface: %s\n", warning.c_str());
    }
    if (!hostChoice.Problem.empty()) {
        TPrinterLibraryChoice choice = Chosen(std::make_unique<TRCPV11Library>());
        choice.Error = hostChoice.Problem;
        return choice;
    }
    if (!isolate && !hostChoice.Settings.UnderWine) {
        return Chosen(std::make_unique<TRCPV11Library>());
    }
    auto host = std::make_unique<TPrinterHostLibrary>(hostChoice.Settings);
    TPrinterHostLibrary& library = *host;
    TPrinterLibraryChoice choice = Chosen(std::move(host));
    choice.Kind = library.Kind();
    choice.GiveUp = [&library] { library.Abandon(); };
    return choice;
}

} // namespace

int main(int argc, char* argv[])
{
    RestrictLibrarySearch();
    const TProgramArguments arguments = ParseProgramArguments(argc, argv);
    switch (arguments.Request) {
    case TProgramRequest::Help:
        std::fputs(ProgramHelpText().c_str(), stdout);
        return 0;
    case TProgramRequest::Version:
        std::fputs(ProgramVersionText().c_str(), stdout);
        return 0;
    case TProgramRequest::Usage:
        std::fprintf(stderr, "%s\n", arguments.Error.c_str());
        return kExitUsage;
    case TProgramRequest::Run:
        break;
    }
    if (!arguments.DataDir.empty()) {
        // Made absolute, so the simulator and child processes find it
        // whatever their working folder.
        std::error_code error;
        const std::filesystem::path folder = std::filesystem::absolute(arguments.DataDir, error);
        if (error || !std::filesystem::is_directory(folder, error)) {
            std::fprintf(stderr, "member-interface: data folder '%s' is not an existing folder\n",
                arguments.DataDir.c_str());
            return kExitUsage;
        }
        SetDataDirectory(folder.string());
    } else if (const std::string installed = InstalledDataDirectory(); !installed.empty()) {
        // The installer made it; made again if someone removed it since, as
        // the program folder is no place for data.
        std::error_code error;
        std::filesystem::create_directories(installed, error);
        if (!std::filesystem::is_directory(installed, error)) {
            std::fprintf(stderr, "member-interface: data folder '%s' cannot be created\n", installed.c_str());
            return kExitUsage;
        }
        SetDataDirectory(installed);
    } else {
        SetDataDirectory({});
    }

    // Before any thread exists, so every thread inherits the mask and the
    // signals reach the program only through its run.
    BlockShutdownSignals();
    SocketPlatform::PrepareProcess();
    const bool noDisplay = ChooseOffscreenWithoutDisplay(argc, argv);
    const bool headless = HeadlessRequested(argc, argv);
    if (headless) {
        QuietPlatformNoise();
    }

    // Read before the application object exists, which depends on it; only
    // read, so a command line not understood still changes nothing.
    SysOption = std::make_unique<TSysOption>(OptionFileName());
    SysOption->Load();

    // A run without a screen creates no window and loads no platform
    // plugin. A printer library in this process may be the simulator,
    // which draws its card face with Qt's fonts: that alone needs one.
    UseTrustedPluginFolders();
    std::unique_ptr<QCoreApplication> application;
    if (!headless) {
        application = std::make_unique<QApplication>(argc, argv);
    } else {
        DropPlatformArguments(argc, argv);
        if (SysOption->IsolatePrinterLibrary) {
            application = std::make_unique<QCoreApplication>(argc, argv);
        } else {
            application = std::make_unique<QGuiApplication>(argc, argv);
        }
    }
    // The application object has taken its own options out of argv; a
    // command line not understood changes nothing, not even old logs.
    if (argc > 1) {
        std::fprintf(stderr, "member-interface: unknown argument '%s' (see --help)\n", argv[1]);
        return kExitUsage;
    }
    if (noDisplay) {
        std::fputs("member-interface: no display; serving without a window\n", stderr);
    }

    // What a save cut short by a crash left behind would otherwise stay for
    // good; at start no save of ours can be running.
    RemoveInterruptedSaves(OptionFileName());
    const std::string dayCountsPath = LogFolder() + TDayCountsFile::kFileName;
    RemoveInterruptedSaves(dayCountsPath);
    DeviceQueue.SetQueueTimeout(std::chrono::seconds(std::max(SysOption->QueueTimeoutSec, 0)));
    LogFile = TLogFile::Daily(LogFolder());
    LogFile->RemoveExpiredLogs();
    MemberOption = std::make_unique<TOption>(OptionFileName());
    MemberOption->Load();
    HttpOption = std::make_unique<THttpOption>(OptionFileName());
    HttpOption->Load();
    SetMessagesUnattended(headless);
    SetUnattendedMessageLog([](const QString& line) { LogFile->WriteLine(TextCodec::ToGbk(line)); });

    // Outlives the device. Which library drives the printer, or why none
    // does, is said where whoever started the program looks: the terminal
    // or the journal, and the day's log.
    const TPrinterLibraryChoice printer = ChoosePrinterLibrary(SysOption->IsolatePrinterLibrary);
    ServiceStatus().PrinterLibraryChosen(
        printer.Kind, QString::fromStdString(printer.Error), QString::fromStdString(printer.Path));
    const TServiceSnapshot chosen = ServiceStatus().Snapshot();
    std::fprintf(
        stderr, "member-interface: printer library: %s\n", PrinterLibraryDescription(chosen).toUtf8().constData());
    std::fflush(stderr);
    if (const QString line = PrinterLibraryLine(chosen); !line.isEmpty()) {
        LogFile->WriteLine(TextCodec::ToGbk(line));
    }

    int exitCode = 0;
    {
        // Saved every five seconds while they change, and when the run
        // ends, before the status is read below: a crash costs five
        // seconds' counts at most, and a busy front desk neither a disk
        // write per request nor two waits for the disk every second.
        TDayCountsFile dayCounts(dayCountsPath, ServiceStatus());
        QTimer saveTimer;
        QObject::connect(&saveTimer, &QTimer::timeout, [&dayCounts] { dayCounts.Save(); });
        saveTimer.start(kDayCountsSaveMs);
        TMemberServer server({.Procedure = {}, .GiveUpPrinterCall = printer.GiveUp});
        exitCode = RunMemberProgram(*application, server, std::make_unique<TTRWGII2010DMember>(*printer.Library));
    }

    const TServiceSnapshot status = ServiceStatus().Snapshot();
    if (exitCode == 0 && headless && status.Listener == TListenerState::Failed) {
        std::fprintf(stderr, "member-interface: cannot listen on port %d: %s\n", status.Port,
            status.ListenerError.toUtf8().constData());
        return kExitNotListening;
    }
    return exitCode;
}
