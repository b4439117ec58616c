#pragma once

#include <string>

// Tells the service manager that started the program (a systemd service of
// Type=notify) how the run goes. Without such a manager they do nothing.

// The interface serves requests from now on; status is a one-line text
// for the manager's status display.
void NotifyServiceReady(const std::string& status);

// The interface is ending: it no longer takes requests and is shutting down.
void NotifyServiceStopping();
