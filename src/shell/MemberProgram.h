#pragma once

#include <memory>

class QCoreApplication;
class TBaseMember;
class TMemberServer;

// The program's run after its process-wide objects exist: opens the device's
// port, runs the member-card interface with server, closes the port and
// frees the device. With a QApplication the main window runs the interface;
// otherwise it is a headless run that serves until the operating system
// ends it, and creates no window. The port is open before the server starts
// and closed only after it has stopped. An error that escapes is shown in
// the error box; the device is then freed without closing its port.
// Returns the exit code.
int RunMemberProgram(QCoreApplication& application, TMemberServer& server, std::unique_ptr<TBaseMember> device);
