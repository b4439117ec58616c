#include "shell/ServiceNotify.h"

#include <systemd/sd-daemon.h>

void NotifyServiceReady(const std::string& status)
{
    std::string state = "READY=1\nSTATUS=";
    for (const char c : status) {
        // One line: a line break would start another assignment.
        state += (c == '\n' || c == '\r') ? ' ' : c;
    }
    sd_notify(0, state.c_str());
}

void NotifyServiceStopping()
{
    sd_notify(0, "STOPPING=1");
}
