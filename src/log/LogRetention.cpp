#include "log/LogRetention.h"

#include <QDir>
#include <QRegularExpression>

QString DayLogName(const QDate& day)
{
    return day.toString(QStringLiteral("yyyyMMdd")) + QStringLiteral(".LOG");
}

QDate DayLogDate(const QString& fileName)
{
    static const QRegularExpression pattern(QStringLiteral("^(\\d{8})\\.LOG$"));
    const QRegularExpressionMatch match = pattern.match(fileName);
    if (!match.hasMatch()) {
        return {};
    }
    return QDate::fromString(match.captured(1), QStringLiteral("yyyyMMdd"));
}

int RemoveExpiredDayLogs(const std::string& folder, const QDate& today, int keepDays)
{
    if (keepDays <= 0) {
        return 0;
    }
    const QDir dir(QString::fromStdString(folder));
    int removed = 0;
    for (const QString& name : dir.entryList(QDir::Files | QDir::Hidden | QDir::System)) {
        const QDate day = DayLogDate(name);
        if (day.isValid() && day.daysTo(today) > keepDays && QFile::remove(dir.filePath(name))) {
            ++removed;
        }
    }
    return removed;
}
