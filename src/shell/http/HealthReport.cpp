#include "shell/http/HealthReport.h"

QJsonObject HealthObject(const THealthReport& report)
{
    return QJsonObject {
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
}
