#include "FuzzSupport.h"

#include <QDir>
#include <QTemporaryDir>

const std::string& FuzzTempDir()
{
    // Saving an options file syncs it to disk; in memory that costs nothing,
    // and the fuzzer runs a hundred times faster.
    static const QString base = QDir(QStringLiteral("/dev/shm")).exists() ? QStringLiteral("/dev/shm") : QDir::tempPath();
    static QTemporaryDir dir(base + QStringLiteral("/member-fuzz-XXXXXX"));
    static const std::string path = dir.path().toStdString() + "/";
    return path;
}
