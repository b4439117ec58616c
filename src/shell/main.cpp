#include "config/SysOptionUnit.h"
#include "member/BaseMemberUnit.h"
#include "shell/LogFileUnit.h"
#include "shell/MemberProgram.h"
#include "shell/RequestListener.h"
#include "shell/ShutdownSignals.h"

#include <QApplication>

#include <csignal>

int main(int argc, char* argv[])
{
    // Before any thread exists, so every thread inherits the mask and the
    // signals reach the program only through the main window's run.
    BlockShutdownSignals();
    std::signal(SIGPIPE, SIG_IGN);
    RaiseOpenFileLimit();

    SysOption = std::make_unique<TSysOption>(OptionFileName());
    SysOption->Load();
    LogFile = std::make_unique<TLogFile>(TodayLogFileName());

    QApplication application(argc, argv);
    return RunMemberProgram(application, std::make_unique<TBaseMember>());
}
