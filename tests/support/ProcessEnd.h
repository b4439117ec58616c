#pragma once

#include <QProcess>

#include <vector>

// How a test asks a program it started to end, the way the operating system
// would: SIGTERM (a service manager) or SIGINT (Ctrl+C) on POSIX systems;
// on Windows the console's Ctrl+C, which reaches the program only through a
// console, so there it runs in a console of its own.
enum class EEndRequest { Terminate, Interrupt };

// The requests this platform can send.
std::vector<EEndRequest> EndRequests();

// Call before starting the process.
void PrepareEndRequests(QProcess& process);

// Sends the request; false when it could not be sent.
bool RequestEnd(const QProcess& process, EEndRequest request);

const char* EndRequestName(EEndRequest request);

// Takes the display out of a program's environment, so it runs as it would
// as a service: POSIX systems start services without one. Windows programs
// always have a desktop; there it changes nothing.
void UseServerDisplay(QProcessEnvironment& environment);
