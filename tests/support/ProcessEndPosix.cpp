#include "support/ProcessEnd.h"

#include <csignal>

std::vector<EEndRequest> EndRequests()
{
    return {EEndRequest::Terminate, EEndRequest::Interrupt};
}

void PrepareEndRequests(QProcess&) { }

bool RequestEnd(const QProcess& process, EEndRequest request)
{
    const int signal = request == EEndRequest::Terminate ? SIGTERM : SIGINT;
    return process.processId() > 0 && ::kill(static_cast<pid_t>(process.processId()), signal) == 0;
}

const char* EndRequestName(EEndRequest request)
{
    return request == EEndRequest::Terminate ? "SIGTERM" : "SIGINT";
}

void UseServerDisplay(QProcessEnvironment& environment)
{
    for (const char* name : { "DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM" }) {
        environment.remove(QString::fromLatin1(name));
    }
}
