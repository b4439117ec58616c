#pragma once

#include <QJsonObject>
#include <QString>

#include <cstdint>
#include <string>
#include <vector>

// What GET /v1/health reports about the running interface.
struct THealthReport {
    // The member port and whether its TCP listener accepts connections.
    int32_t MemberPort = 0;
    bool Listening = false;
    // "vendor", "simulator", "vendorWine", "simulatorWine" (the Windows DLL
    // under Wine) or "none".
    std::string PrinterLibrary = "none";
    // Why no library is loaded, for "none".
    std::string PrinterLibraryError;
    bool PortOpen = false;
    // Requests and turns waiting for the printer or at it.
    uint64_t Queued = 0;
    uint64_t AnsweredToday = 0;
    uint64_t FailedToday = 0;
    // The printer library's last crash or hang: "crash" or "hang", when
    // (ISO 8601) and what; empty kind when there was none.
    std::string LibraryFailureKind;
    QString LibraryFailureAt;
    QString LibraryFailureDetail;
    // The printer's last fault: when (ISO 8601, empty when there was
    // none), the library function and the driver's text.
    QString LastFaultAt;
    QString LastFaultFunction;
    QString LastFault;
    // When a card transaction last succeeded; empty when none has.
    QString LastSuccessAt;
    // Why the printer is failing (PrinterTroubles).
    std::vector<std::string> PrinterTroubles;
};

// The running interface's report: its service status and the device queue.
// Reads only what the interface already knows; never waits for the printer.
THealthReport CurrentHealth();

// Why the interface cannot serve card requests as it should: no printer
// library, the printer port closed, the member port not listening, or the
// printer's troubles (its host down, a card left inside, faults in a row).
// Empty when it can.
std::vector<std::string> HealthProblems(const THealthReport& report);

// The report with "status" ("ok" when there are no problems, else
// "degraded"), "reasons" (the problems) and the program's version.
QJsonObject HealthObject(const THealthReport& report);

// The running interface's metrics in Prometheus' text format.
std::string CurrentMetrics();
