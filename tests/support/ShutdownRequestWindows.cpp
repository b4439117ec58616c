#include "support/ShutdownRequest.h"

#include "shell/ShutdownSignals.h"

struct THeldShutdownRequests::TState { };

THeldShutdownRequests::THeldShutdownRequests()
{
    BlockShutdownSignals();
}

THeldShutdownRequests::~THeldShutdownRequests() = default;

void THeldShutdownRequests::Send(EEndRequest) { }

bool THeldShutdownRequests::Supported()
{
    return false;
}
