#include "shell/ServiceNotify.h"

// Windows has no readiness protocol a program started from a console or the
// Start menu could speak: there is no manager to tell.

void NotifyServiceReady(const std::string&)
{
}

void NotifyServiceStopping()
{
}
