#include "config/SysOptionUnit.h"
#include "member/BaseMemberUnit.h"
#include "member/DeviceLock.h"
#include "member/OptionUnit.h"
#include "member/RCPV11VCDLL.h"
#include "member/TRWGII2010DMemberUnit.h"
#include "shell/FormatSettings.h"
#include "shell/InfoSink.h"
#include "shell/LogFileUnit.h"
#include "shell/RequestListener.h"
#include "shell/ServerExecute.h"

#include <csignal>
#include <cstdio>
#include <memory>
#include <mutex>
#include <pthread.h>

namespace {

class TConsoleInfo : public TInfoSink {
public:
    void AppendLine(const QString& line) override
    {
        std::printf("%s\n", line.toUtf8().constData());
        std::fflush(stdout);
    }
};

} // namespace

int main()
{
    // SIGINT and SIGTERM are taken by sigwait below; blocked before any
    // thread starts so every thread inherits the mask.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
    RaiseOpenFileLimit();

    SysOption = std::make_unique<TSysOption>(OptionFileName());
    SysOption->Load();
    LogFile = std::make_unique<TLogFile>(TodayLogFileName());
    MemberOption = std::make_unique<TOption>(OptionFileName());
    MemberOption->Load();

    // The port's result is only logged: without a printer the program still
    // answers every request, with its failure.
    TRCPV11Library printerLibrary;
    if (!printerLibrary.Loaded()) {
        std::fprintf(stderr, "Printer library: %s\n", printerLibrary.LoadError().c_str());
    }
    auto device = std::make_unique<TTRWGII2010DMember>(printerLibrary);
    {
        std::scoped_lock lock(DeviceLock);
        device->OpenPort();
    }
    CurrentMemberDevice = device.get();

    FormatSettings::Fix();
    TConsoleInfo infoMemo;
    TRequestListener listener(&infoMemo, [&infoMemo](TClientConnection& connection, const std::string& line) {
        TCPServerExecute(&infoMemo, connection, line);
    });
    try {
        listener.Start(SysOption->MemberPortNo);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "%s\n", error.what());
    }

    int signal = 0;
    sigwait(&stopSignals, &signal);
    try {
        listener.Stop();
    } catch (const std::exception& error) {
        std::fprintf(stderr, "%s\n", error.what());
    }
    {
        std::scoped_lock lock(DeviceLock);
        device->ClosePort();
        CurrentMemberDevice = nullptr;
    }
    device.reset();
    return 0;
}
