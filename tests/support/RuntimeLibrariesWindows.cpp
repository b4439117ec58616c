#include "support/RuntimeLibraries.h"

#include "base/ExecutablePath.h"

#include <QDir>
#include <QFile>

#include <filesystem>
#include <system_error>

namespace {

// The build puts these beside its programs as the package does: Qt, the
// compiler's runtime, and Qt's plugins in folders of their own.
const char* const kPatterns[] = {"Qt6*.dll", "libgcc_s_*.dll", "libstdc++-*.dll", "libwinpthread-*.dll"};
const char* const kPluginFolders[] = {"platforms", "styles"};

void Place(const QString& from, const QString& to)
{
    std::error_code error;
    std::filesystem::create_hard_link(from.toStdWString(), to.toStdWString(), error);
    if (error) {
        QFile::copy(from, to);
    }
}

void PlaceMatching(const QDir& built, const QStringList& patterns, const QString& to)
{
    QDir().mkpath(to);
    for (const QString& name : built.entryList(patterns, QDir::Files)) {
        Place(built.filePath(name), to + QLatin1Char('/') + name);
    }
}

} // namespace

void PlaceRuntimeLibraries(const std::string& folder)
{
    // Beside this test: every binary of the build lands in one folder. Not
    // Qt's application path, which a test without an application object
    // does not have.
    const QDir built(QString::fromLocal8Bit(ExecutableDirectory()));
    const QString to = QDir::cleanPath(QString::fromStdString(folder));
    QStringList patterns;
    for (const char* pattern : kPatterns) {
        patterns << QString::fromLatin1(pattern);
    }
    PlaceMatching(built, patterns, to);
    for (const char* plugins : kPluginFolders) {
        const QString name = QString::fromLatin1(plugins);
        PlaceMatching(QDir(built.filePath(name)), {QStringLiteral("*.dll")}, to + QLatin1Char('/') + name);
    }
}
