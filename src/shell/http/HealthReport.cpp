#include "shell/http/HealthReport.h"

#include "member/DeviceQueue.h"
#include "member/ServiceStatus.h"

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
    case TPrinterLibraryKind::None:
        report.PrinterLibrary = "none";
        break;
    }
    report.PortOpen = status.PrinterPortOpen;
    report.Queued = DeviceQueue.Queued();
    report.AnsweredToday = status.AnsweredToday;
    report.FailedToday = status.FailedToday;
    if (const QDateTime at = status.PrinterLibraryFailedAt; !at.isNull()) {
        report.LibraryFailureKind = status.PrinterLibraryFailure == TPrinterLibraryFailure::Hung ? "hang" : "crash";
        // Local time with its offset.
        report.LibraryFailureAt = at.toOffsetFromUtc(at.offsetFromUtc()).toString(Qt::ISODate);
        report.LibraryFailureDetail = status.PrinterLibraryFailureDetail;
    }
    return report;
}

QJsonObject HealthObject(const THealthReport& report)
{
    QJsonObject object {
        {QStringLiteral("status"), QStringLiteral("ok")},
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
    return object;
}
