#include "base/ProfileFile.h"
#include "base/SocketPlatform.h"
#include "base/TextCodec.h"
#include "config/HttpOption.h"
#include "config/SysOptionUnit.h"
#include "member/OptionUnit.h"
#include "member/PrinterHostLibrary.h"
#include "member/RCPV11VCDLL.h"
#include "member/ServiceStatus.h"
#include "member/TRWGII2010DMemberUnit.h"
#include "shell/HeadlessRun.h"
#include "shell/MemberProgram.h"
#include "shell/ProgramArguments.h"
#include "shell/ShutdownSignals.h"
#include "shell/listener/RequestListener.h"
#include "member/log/LogFileUnit.h"
#include "ui/DialogLook.h"

#include <QApplication>

#include <cstdio>

namespace {

// Command line not understood (sysexits' EX_USAGE).
constexpr int kExitUsage = 64;
// Nobody can see the window and nothing listens (EX_UNAVAILABLE): a service
// manager sees the failure and may try again later.
constexpr int kExitNotListening = 69;

// The printer library the device drives, and what it is.
struct TPrinterLibraryChoice {
    std::unique_ptr<TCardPrinterLibrary> Library;
    TPrinterLibraryKind Kind = TPrinterLibraryKind::None;
    std::string Error;
};

template <class TLibrary>
TPrinterLibraryChoice Chosen(std::unique_ptr<TLibrary> library)
{
    TPrinterLibraryChoice choice;
    if (library->Loaded()) {
        choice.Kind = library->IsSimulator() ? TPrinterLibraryKind::Simulator : TPrinterLibraryKind::Vendor;
    }
    choice.Error = library->LoadError();
    choice.Library = std::move(library);
    return choice;
}

// In a process of its own (the printer host beside the program, which the
// program's stop can give up on), or loaded into the program.
TPrinterLibraryChoice ChoosePrinterLibrary(bool isolate)
{
    if (!isolate) {
        return Chosen(std::make_unique<TRCPV11Library>());
    }
    auto host = std::make_unique<TPrinterHostLibrary>();
    RegisterPrinterHost(host.get());
    return Chosen(std::move(host));
}

} // namespace

int main(int argc, char* argv[])
{
    switch (ProgramRequest(argc, argv)) {
    case TProgramRequest::Help:
        std::fputs(ProgramHelpText().c_str(), stdout);
        return 0;
    case TProgramRequest::Version:
        std::fputs(ProgramVersionText().c_str(), stdout);
        return 0;
    case TProgramRequest::Run:
        break;
    }

    // Before any thread exists, so every thread inherits the mask and the
    // signals reach the program only through the main window's run.
    BlockShutdownSignals();
    SocketPlatform::PrepareProcess();
    if (ChooseOffscreenWithoutDisplay(argc, argv)) {
        std::fputs("member-interface: no display; serving without a window\n", stderr);
    }

    QApplication application(argc, argv);
    // The application object has taken its own options out of argv; a
    // command line not understood changes nothing, not even old logs.
    if (argc > 1) {
        std::fprintf(stderr, "member-interface: unknown argument '%s' (see --help)\n", argv[1]);
        return kExitUsage;
    }

    // What a save cut short by a crash left behind would otherwise stay for
    // good; at start no save of ours can be running.
    RemoveInterruptedSaves(OptionFileName());
    SysOption = std::make_unique<TSysOption>(OptionFileName());
    SysOption->Load();
    LogFile = TLogFile::Daily(LogFolder());
    LogFile->RemoveExpiredLogs();
    MemberOption = std::make_unique<TOption>(OptionFileName());
    MemberOption->Load();
    HttpOption = std::make_unique<THttpOption>(OptionFileName());
    HttpOption->Load();
    const bool headless = IsHeadlessPlatform(QGuiApplication::platformName());
    SetMessagesUnattended(headless);
    SetUnattendedMessageLog([](const QString& line) { LogFile->WriteLine(TextCodec::ToGbk(line)); });

    // Outlives the device. Without it every card operation fails; say why
    // where whoever started the program can see it.
    const TPrinterLibraryChoice printer = ChoosePrinterLibrary(SysOption->IsolatePrinterLibrary);
    ServiceStatus().PrinterLibraryChosen(printer.Kind, QString::fromStdString(printer.Error));
    if (printer.Kind == TPrinterLibraryKind::None) {
        std::fprintf(stderr, "Printer library: %s\n", printer.Error.c_str());
    }
    const int exitCode = RunMemberProgram(application, std::make_unique<TTRWGII2010DMember>(*printer.Library));

    const TServiceSnapshot status = ServiceStatus().Snapshot();
    if (exitCode == 0 && headless && status.Listener == TListenerState::Failed) {
        std::fprintf(stderr, "member-interface: cannot listen on port %d: %s\n", status.Port,
            status.ListenerError.toUtf8().constData());
        return kExitNotListening;
    }
    return exitCode;
}
