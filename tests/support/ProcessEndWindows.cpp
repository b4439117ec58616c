#include "support/ProcessEnd.h"

#include <windows.h>

std::vector<EEndRequest> EndRequests()
{
    // A console's Ctrl+C is the one request one program can send another.
    return {EEndRequest::Interrupt};
}

void PrepareEndRequests(QProcess& process)
{
    process.setCreateProcessArgumentsModifier(
        [](QProcess::CreateProcessArguments* arguments) { arguments->flags |= CREATE_NEW_CONSOLE; });
}

bool RequestEnd(const QProcess& process, EEndRequest)
{
    // Joins the program's console for a moment and presses Ctrl+C there,
    // with Ctrl+C ignored in this process meanwhile.
    const auto pid = static_cast<DWORD>(process.processId());
    FreeConsole();
    if (pid == 0 || !AttachConsole(pid)) {
        return false;
    }
    SetConsoleCtrlHandler(nullptr, TRUE);
    const bool sent = GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0) != 0;
    FreeConsole();
    // The event is delivered on a thread of its own; let it pass this
    // process before Ctrl+C counts here again.
    Sleep(100);
    SetConsoleCtrlHandler(nullptr, FALSE);
    return sent;
}

const char* EndRequestName(EEndRequest)
{
    return "Ctrl+C";
}

void UseServerDisplay(QProcessEnvironment&) { }
