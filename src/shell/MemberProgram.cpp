#include "shell/MemberProgram.h"

#include "member/BaseMemberUnit.h"
#include "member/DeviceLock.h"
#include "member/OptionFormUnit.h"
#include "member/TRWGII2010DMemberUnit.h"
#include "shell/MainFormUnit.h"
#include "ui/ErrorGuard.h"

#include <mutex>

int RunMemberProgram(QApplication& application, std::unique_ptr<TBaseMember> device)
{
    // The driver has no windows of its own; its ShowOptions opens this one.
    SetOptionsDialog(ShowOptionForm);
    try {
        {
            // Whether the port opened is the device's to log; the interface
            // starts either way and answers with the device's failures.
            std::scoped_lock lock(DeviceLock);
            device->OpenPort();
        }
        RunMemberInterface(application, device.get());
        std::scoped_lock lock(DeviceLock);
        device->ClosePort();
        // Taken away under the lock, so a request still queued for the
        // device after a failed listener stop finds none.
        CurrentMemberDevice = nullptr;
    } catch (const std::exception& error) {
        CurrentMemberDevice = nullptr;
        ShowErrorBox(ErrorMessage(error));
        return 1;
    }
    return 0;
}
