#include "shell/MemberProgram.h"

#include "member/BaseMemberUnit.h"
#include "member/DeviceQueue.h"
#include "dialogs/OptionFormUnit.h"
#include "member/TRWGII2010DMemberUnit.h"
#include "shell/MainFormUnit.h"
#include "ui/ErrorGuard.h"

int RunMemberProgram(QApplication& application, std::unique_ptr<TBaseMember> device)
{
    // The driver has no windows of its own; its ShowOptions opens this one.
    SetOptionsDialog(ShowOptionForm);
    try {
        // Whether the port opened is the device's to log; the interface
        // starts either way and answers with the device's failures.
        DeviceQueue.RunTurn([&] { device->OpenPort(); });
        RunMemberInterface(application, device.get());
        DeviceQueue.RunTurn([&] { device->ClosePort(); });
    } catch (const std::exception& error) {
        RetireCurrentDevice();
        ShowErrorBox(ErrorMessage(error));
        return 1;
    }
    // Before the device is freed, so a request still queued after a failed
    // listener stop finds none.
    RetireCurrentDevice();
    return 0;
}
