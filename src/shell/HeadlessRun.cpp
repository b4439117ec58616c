#include "shell/HeadlessRun.h"

#include <QString>

bool IsHeadlessPlatform(const QString& platformName)
{
    return platformName == QStringLiteral("offscreen") || platformName == QStringLiteral("minimal");
}
