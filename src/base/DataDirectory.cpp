#include "base/DataDirectory.h"

#include "base/ExecutablePath.h"

#include <QByteArray>
#include <QtGlobal>

namespace {

std::string& ChosenDirectory()
{
    static std::string folder;
    return folder;
}

std::string WithSeparator(std::string folder)
{
    if (!folder.empty() && folder.back() != '/' && folder.back() != '\\') {
        folder += '/';
    }
    return folder;
}

} // namespace

std::string DataDirectory()
{
    const std::string& chosen = ChosenDirectory();
    return chosen.empty() ? ExecutableDirectory() : chosen;
}

void SetDataDirectory(const std::string& folder)
{
    ChosenDirectory() = WithSeparator(folder);
    if (folder.empty()) {
        qunsetenv(kDataDirectoryVariable);
    } else {
        qputenv(kDataDirectoryVariable, QByteArray::fromStdString(ChosenDirectory()));
    }
}

std::string InheritedDataDirectory()
{
    return WithSeparator(qgetenv(kDataDirectoryVariable).toStdString());
}
