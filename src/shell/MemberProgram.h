#pragma once

#include <memory>

class QApplication;
class TBaseMember;

// The program's run after its process-wide objects exist: opens the device's
// port, runs the member-card interface, closes the port and frees the
// device. The port is open before the listener starts and closed only after
// it has stopped. An error that escapes is shown in the error box; the
// device is then freed without closing its port. Returns the exit code.
int RunMemberProgram(QApplication& application, std::unique_ptr<TBaseMember> device);
