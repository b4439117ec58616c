#include "base/SocketPlatform.h"
#include "config/SysOptionUnit.h"
#include "member/OptionUnit.h"
#include "member/RCPV11VCDLL.h"
#include "member/TRWGII2010DMemberUnit.h"
#include "shell/MemberProgram.h"
#include "shell/ShutdownSignals.h"
#include "shell/listener/RequestListener.h"
#include "shell/log/LogFileUnit.h"

#include <QApplication>

#include <cstdio>

int main(int argc, char* argv[])
{
    // Before any thread exists, so every thread inherits the mask and the
    // signals reach the program only through the main window's run.
    BlockShutdownSignals();
    SocketPlatform::PrepareProcess();

    SysOption = std::make_unique<TSysOption>(OptionFileName());
    SysOption->Load();
    LogFile = std::make_unique<TLogFile>(TodayLogFileName());
    MemberOption = std::make_unique<TOption>(OptionFileName());
    MemberOption->Load();

    QApplication application(argc, argv);
    // Outlives the device. Without it every card operation fails; say why
    // where whoever started the program can see it.
    TRCPV11Library printerLibrary;
    if (!printerLibrary.Loaded()) {
        std::fprintf(stderr, "Printer library: %s\n", printerLibrary.LoadError().c_str());
    }
    return RunMemberProgram(application, std::make_unique<TTRWGII2010DMember>(printerLibrary));
}
