#include "shell/MemberProgram.h"

#include "base/FormatSettings.h"
#include "base/InterfaceKind.h"
#include "base/TextCodec.h"
#include "config/SysOptionUnit.h"
#include "dialogs/OptionFormUnit.h"
#include "log/LogFileUnit.h"
#include "member/BaseMemberUnit.h"
#include "member/DeviceQueue.h"
#include "member/TRWGII2010DMemberUnit.h"
#include "server/MemberServer.h"
#include "shell/MainFormUnit.h"
#include "shell/ServiceAnnouncement.h"
#include "shell/ShutdownSignals.h"
#include "status/ServiceStatus.h"
#include "ui/ErrorGuard.h"

#include <QApplication>
#include <QEventLoop>

namespace {

// The interface without a window: serves until SIGTERM, SIGINT or Ctrl+C.
// A server that cannot listen ends the run at once: it would serve nothing
// and tell nobody.
void RunHeadless(TMemberServer& server, TBaseMember* device)
{
    InterfaceKind = ikMember;
    if (device != nullptr) {
        CurrentMemberDevice = device;
    }
    FormatSettings::Fix();
    SetApplicationTitle(InterfaceTitle());
    // Listening before the server starts, so a signal that arrives while it
    // starts still ends the run.
    TShutdownSignals shutdown;
    QEventLoop loop;
    QObject::connect(&shutdown, &TShutdownSignals::Received, &loop, &QEventLoop::quit);
    try {
        server.Start(SysOption->MemberPortNo);
    } catch (const std::exception& error) {
        // Said on standard error once, by the program's end; the log keeps
        // the line the box would have been.
        LogFile->WriteLine(TextCodec::ToGbk(InterfaceTitle() + QStringLiteral(": ") + ErrorMessage(error)));
    }
    if (server.Listening()) {
        AnnounceServing();
        loop.exec();
    }
    AnnounceStopping(server.Listening() ? LastShutdownRequest() : "member port not listening");
    Guarded([&server] { server.Stop(); });
    server.EndServing();
}

} // namespace

int RunMemberProgram(QCoreApplication& application, TMemberServer& server, std::unique_ptr<TBaseMember> device)
{
    // The driver has no windows of its own; its ShowOptions opens this one.
    SetOptionsDialog(ShowOptionForm);
    auto* windowed = qobject_cast<QApplication*>(&application);
    try {
        // Whether the port opened is the device's to log; the interface
        // starts either way and answers with the device's failures.
        DeviceQueue.RunTurn([&] { device->OpenPort(); });
        if (windowed != nullptr) {
            RunMemberInterface(*windowed, server, device.get());
        } else {
            RunHeadless(server, device.get());
        }
        DeviceQueue.RunTurn([&] { device->ClosePort(); });
    } catch (const std::exception& error) {
        RetireCurrentDevice();
        ShowErrorBox(ErrorMessage(error));
        return 1;
    }
    // Before the device is freed, so a request still queued after a failed
    // stop finds none.
    RetireCurrentDevice();
    return 0;
}
