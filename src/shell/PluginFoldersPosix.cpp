#include "shell/PluginFolders.h"

#include "base/ExecutablePath.h"

#include <QCoreApplication>
#include <QDir>
#include <QLibraryInfo>
#include <QStringList>

namespace {

constexpr const char* kPluginPathVariable = "QT_PLUGIN_PATH";

} // namespace

void UseTrustedPluginFolders()
{
    const QByteArray fromEnvironment = qgetenv(kPluginPathVariable);
    QStringList folders = QString::fromLocal8Bit(fromEnvironment).split(QDir::listSeparator(), Qt::SkipEmptyParts);
    folders.append(QLibraryInfo::path(QLibraryInfo::PluginsPath));
    folders.removeDuplicates();

    if (QCoreApplication::instance() == nullptr) {
        // The application object's constructor adds the program's folder
        // to the paths set before it and takes away only folders Qt itself
        // had listed by then; before construction Qt does not list the
        // program's folder yet. Listed in QT_PLUGIN_PATH for the moment Qt
        // first computes its own list, it becomes one of those, and the
        // constructor takes it away again before it loads the platform.
        const QString programFolder = QDir(QString::fromLocal8Bit(ExecutableDirectory())).canonicalPath();
        QByteArray withProgram = fromEnvironment;
        if (!withProgram.isEmpty()) {
            withProgram += QDir::listSeparator().toLatin1();
        }
        qputenv(kPluginPathVariable, withProgram + programFolder.toLocal8Bit());
        QCoreApplication::libraryPaths();
        if (fromEnvironment.isNull()) {
            qunsetenv(kPluginPathVariable);
        } else {
            qputenv(kPluginPathVariable, fromEnvironment);
        }
    }
    QCoreApplication::setLibraryPaths(folders);
}
