#include "base/FormatSettings.h"

#include <QLocale>

#include <atomic>

namespace {

char SystemTimeSeparator()
{
    const QString format = QLocale::system().timeFormat(QLocale::ShortFormat);
    for (const QChar c : format) {
        if (!c.isLetter() && !c.isSpace() && c.unicode() < 0x80) {
            return static_cast<char>(c.unicode());
        }
    }
    return ':';
}

std::atomic<char>& Separator()
{
    static std::atomic<char> separator(SystemTimeSeparator());
    return separator;
}

} // namespace

namespace FormatSettings {

char TimeSeparator()
{
    return Separator().load(std::memory_order_relaxed);
}

void Fix()
{
    Separator().store(':', std::memory_order_relaxed);
}

} // namespace FormatSettings
