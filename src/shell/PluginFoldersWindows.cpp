#include "shell/PluginFolders.h"

#include "base/ExecutablePath.h"

#include <QCoreApplication>
#include <QDir>
#include <QLibraryInfo>
#include <QStringList>

void UseTrustedPluginFolders()
{
    QStringList folders = qEnvironmentVariable("QT_PLUGIN_PATH").split(QDir::listSeparator(), Qt::SkipEmptyParts);
    const QString programFolder = QDir::cleanPath(QString::fromLocal8Bit(ExecutableDirectory()));
    folders.append(programFolder);
    // Qt's own plugin folder is found relative to Qt's core library. In the
    // package that library sits beside the program and the folder would be
    // the parent of the program's, which the installer does not protect; a
    // developer's build runs with Qt in an installation of its own.
    const QString qtFolder = QDir::cleanPath(
        QString::fromLocal8Bit(ModuleDirectory(reinterpret_cast<const void*>(&qVersion))));
    if (qtFolder.compare(programFolder, Qt::CaseInsensitive) != 0) {
        folders.append(QLibraryInfo::path(QLibraryInfo::PluginsPath));
    }
    folders.removeDuplicates();
    QCoreApplication::setLibraryPaths(folders);
}
