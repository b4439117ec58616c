#include "http/HealthReport.h"

#include "member/DeviceQueue.h"
#include "status/ServiceMetrics.h"
#include "status/ServiceStatus.h"

#include <QJsonArray>

namespace {

// Local time with its offset.
QString IsoTime(const QDateTime& at)
{
    return at.toOffsetFromUtc(at.offsetFromUtc()).toString(Qt::ISODate);
}

} // namespace

THealthReport CurrentHealth()
{
    const TServiceSnapshot status = ServiceStatus().Snapshot();
    THealthReport report;
    report.MemberPort = status.Port;
    report.Listening = status.Listener == TListenerState::Listening;
    switch (status.PrinterLibrary) {
    case TPrinterLibraryKind::Vendor:
        report.PrinterLibrary = "vendor";
        break;
    case TPrinterLibraryKind::Simulator:
        report.PrinterLibrary = "simulator";
        break;
    case TPrinterLibraryKind::VendorWine:
        report.PrinterLibrary = "vendorWine";
        break;
    case TPrinterLibraryKind::SimulatorWine:
        report.PrinterLibrary = "simulatorWine";
        break;
    case TPrinterLibraryKind::None:
        report.PrinterLibrary = "none";
        report.PrinterLibraryError = status.PrinterLibraryError.toStdString();
        break;
    }
    report.PortOpen = status.PrinterPortOpen;
    report.Queued = DeviceQueue.Queued();
    report.AnsweredToday = status.AnsweredToday;
    report.FailedToday = status.FailedToday;
    if (const QDateTime at = status.PrinterLibraryFailedAt; !at.isNull()) {
        report.LibraryFailureKind = status.PrinterLibraryFailure == TPrinterLibraryFailure::Hung ? "hang" : "crash";
        report.LibraryFailureAt = IsoTime(at);
        report.LibraryFailureDetail = status.PrinterLibraryFailureDetail;
    }
    if (!status.LastPrinterFaultAt.isNull()) {
        report.LastFaultAt = IsoTime(status.LastPrinterFaultAt);
        report.LastFaultFunction = status.LastPrinterFaultFunction;
        report.LastFault = status.LastPrinterFault;
    }
    if (!status.LastSuccessAt.isNull()) {
        report.LastSuccessAt = IsoTime(status.LastSuccessAt);
    }
    report.PrinterTroubles = PrinterTroubles(status);
    return report;
}

std::vector<std::string> HealthProblems(const THealthReport& report)
{
    std::vector<std::string> problems;
    if (report.PrinterLibrary == "none") {
        problems.push_back("no printer library loaded"
            + (report.PrinterLibraryError.empty() ? std::string() : ": " + report.PrinterLibraryError));
    }
    if (!report.PortOpen) {
        problems.push_back("printer port not open");
    }
    if (!report.Listening) {
        problems.push_back("member port " + std::to_string(report.MemberPort) + " not listening");
    }
    problems.insert(problems.end(), report.PrinterTroubles.begin(), report.PrinterTroubles.end());
    return problems;
}

QJsonObject HealthObject(const THealthReport& report)
{
    const std::vector<std::string> problems = HealthProblems(report);
    QJsonArray reasons;
    for (const std::string& problem : problems) {
        reasons.append(QString::fromStdString(problem));
    }
    QJsonObject object {
        {QStringLiteral("status"), problems.empty() ? QStringLiteral("ok") : QStringLiteral("degraded")},
        {QStringLiteral("reasons"), reasons},
        {QStringLiteral("version"), QStringLiteral(MEMBER_VERSION)},
        {QStringLiteral("memberPort"), report.MemberPort},
        {QStringLiteral("listening"), report.Listening},
        {QStringLiteral("printerLibrary"), QString::fromStdString(report.PrinterLibrary)},
        {QStringLiteral("portOpen"), report.PortOpen},
        {QStringLiteral("queued"), static_cast<qint64>(report.Queued)},
        {QStringLiteral("answeredToday"), static_cast<qint64>(report.AnsweredToday)},
        {QStringLiteral("failedToday"), static_cast<qint64>(report.FailedToday)},
    };
    if (!report.LibraryFailureKind.empty()) {
        object.insert(QStringLiteral("printerLibraryFailure"),
            QJsonObject {{QStringLiteral("kind"), QString::fromStdString(report.LibraryFailureKind)},
                {QStringLiteral("at"), report.LibraryFailureAt}, {QStringLiteral("detail"), report.LibraryFailureDetail}});
    }
    if (!report.LastFaultAt.isEmpty()) {
        object.insert(QStringLiteral("lastFault"),
            QJsonObject {{QStringLiteral("time"), report.LastFaultAt},
                {QStringLiteral("function"), report.LastFaultFunction}, {QStringLiteral("text"), report.LastFault}});
    }
    if (!report.LastSuccessAt.isEmpty()) {
        object.insert(QStringLiteral("lastSuccess"), QJsonObject {{QStringLiteral("time"), report.LastSuccessAt}});
    }
    return object;
}

std::string CurrentMetrics()
{
    const TServiceSnapshot status = ServiceStatus().Snapshot();
    TMetricsGauges gauges;
    gauges.Queued = DeviceQueue.Queued();
    gauges.PrinterLibrary = status.PrinterLibrary;
    gauges.PrinterPortOpen = status.PrinterPortOpen;
    gauges.Listening = status.Listener == TListenerState::Listening;
    return ServiceMetrics().Exposition(gauges);
}
