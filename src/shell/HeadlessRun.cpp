#include "shell/HeadlessRun.h"

#include <QString>
#include <QtGlobal>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// What Qt says in a run without a screen that concerns nobody running the
// interface: the offscreen and minimal platforms have no window manager to
// pass window hints to ("This plugin does not support propagateSizeHints()"
// and the like), and a service account has no per-user runtime folder,
// which this program never uses.
constexpr const char* kNoise[] = {
    "This plugin does not support",
    "QStandardPaths: XDG_RUNTIME_DIR not set",
    "QStandardPaths: runtime directory",
    "QStandardPaths: wrong permissions on runtime directory",
};

bool IsNoise(const QString& message)
{
    for (const char* start : kNoise) {
        if (message.startsWith(QLatin1String(start))) {
            return true;
        }
    }
    return false;
}

void HeadlessMessage(QtMsgType type, const QMessageLogContext&, const QString& message)
{
    if (type == QtDebugMsg || type == QtInfoMsg || IsNoise(message)) {
        return;
    }
    // Anything else Qt has to say is kept, marked as coming from the
    // toolkit so it is not taken for one of the program's own lines.
    std::fprintf(stderr, "member-interface: Qt: %s\n", message.toLocal8Bit().constData());
    std::fflush(stderr);
}

bool IsHeadlessName(const char* name)
{
    if (name == nullptr) {
        return false;
    }
    // A platform name may carry options after a colon ("offscreen:...").
    const QString platform = QString::fromLocal8Bit(name).section(QLatin1Char(':'), 0, 0);
    return IsHeadlessPlatform(platform);
}

} // namespace

bool IsHeadlessPlatform(const QString& platformName)
{
    return platformName == QStringLiteral("offscreen") || platformName == QStringLiteral("minimal");
}

bool HeadlessRequested(int argc, char* argv[])
{
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], "-platform") == 0 || std::strcmp(argv[i], "--platform") == 0) {
            return IsHeadlessName(argv[i + 1]);
        }
    }
    return IsHeadlessName(std::getenv("QT_QPA_PLATFORM"));
}

void DropPlatformArguments(int& argc, char* argv[])
{
    int kept = 1;
    for (int i = 1; i < argc; ++i) {
        if (i + 1 < argc && (std::strcmp(argv[i], "-platform") == 0 || std::strcmp(argv[i], "--platform") == 0)) {
            ++i;
            continue;
        }
        argv[kept++] = argv[i];
    }
    argv[kept] = nullptr;
    argc = kept;
}

void QuietPlatformNoise()
{
    // Whoever asks Qt for its plugin debugging wants to read all of it.
    if (qEnvironmentVariableIsSet("QT_DEBUG_PLUGINS")) {
        return;
    }
    qInstallMessageHandler(HeadlessMessage);
}
