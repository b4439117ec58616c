#pragma once

#include <QJsonObject>
#include <QString>

#include <cstdint>
#include <string>

// What GET /v1/health reports about the running interface.
struct THealthReport {
    // The member port and whether its TCP listener accepts connections.
    int32_t MemberPort = 0;
    bool Listening = false;
    // "vendor", "simulator" or "none".
    std::string PrinterLibrary = "none";
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
};

// The running interface's report: its service status and the device queue.
THealthReport CurrentHealth();

// The report with "status": "ok" and the program's version.
QJsonObject HealthObject(const THealthReport& report);
