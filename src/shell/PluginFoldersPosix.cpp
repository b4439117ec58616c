#include "shell/PluginFolders.h"

#include <QCoreApplication>
#include <QDir>
#include <QLibraryInfo>
#include <QStringList>

void UseTrustedPluginFolders()
{
    QStringList folders = qEnvironmentVariable("QT_PLUGIN_PATH").split(QDir::listSeparator(), Qt::SkipEmptyParts);
    folders.append(QLibraryInfo::path(QLibraryInfo::PluginsPath));
    folders.removeDuplicates();
    QCoreApplication::setLibraryPaths(folders);
}
