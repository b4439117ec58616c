#include "support/ShutdownRequest.h"

#include "shell/ShutdownSignals.h"

#include <windows.h>

struct THeldShutdownRequests::TState { };

THeldShutdownRequests::THeldShutdownRequests()
{
    // Ctrl+C reaches the processes of a console only.
    if (GetConsoleWindow() == nullptr) {
        AllocConsole();
    }
    BlockShutdownSignals();
}

THeldShutdownRequests::~THeldShutdownRequests() = default;

void THeldShutdownRequests::Send(EEndRequest)
{
    GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0);
}
