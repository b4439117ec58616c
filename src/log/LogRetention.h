#pragma once

#include <QDate>
#include <QString>

#include <string>

// The day's log file name, "yyyymmdd.LOG".
QString DayLogName(const QDate& day);

// The day a file name stands for when it is a day's log file: exactly eight
// digits of a real date and ".LOG". Anything else (a copy, a note, a file
// of another program) gives a null date.
QDate DayLogDate(const QString& fileName);

// Removes from folder the day log files of days more than keepDays before
// today; keepDays 0 or less keeps every file. Files of other names, and day
// files dated after today (a clock that was wrong), stay. A file that cannot
// be removed is left for the next time. Gives how many were removed.
int RemoveExpiredDayLogs(const std::string& folder, const QDate& today, int keepDays);
