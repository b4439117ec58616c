#pragma once

#include <string>

// The journal's lines for the run as a whole, beside what the service
// manager is told: whoever reads `journalctl -u member-interface` sees what
// started, with which settings, and why it ended.

// The interface serves: its version, member port, HTTP API, data folder
// and printer library. Also tells the service manager it is ready.
void AnnounceServing();

// The interface is ending, and why ("SIGTERM", "window closed"). Also tells
// the service manager it is stopping.
void AnnounceStopping(const std::string& reason);
