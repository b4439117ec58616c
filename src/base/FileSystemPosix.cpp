#include "base/FileSystem.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace FileSystem {

int OpenForAppend(const std::string& name)
{
    // Nearly always the file is there already; only a file this call
    // creates gets the mode, so one an administrator changed keeps theirs.
    // Twice, for a file someone else removes or creates in between.
    for (int attempt = 0; attempt < 2; ++attempt) {
        const int existing = open(name.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
        if (existing >= 0 || errno != ENOENT) {
            return existing;
        }
        const int created
            = open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_APPEND | O_CLOEXEC, kCreatedFileMode);
        if (created >= 0) {
            // open's mode passes through the umask; the mode is meant as it
            // is, neither narrower nor wider.
            fchmod(created, kCreatedFileMode);
            return created;
        }
        if (errno != EEXIST) {
            return -1;
        }
    }
    return -1;
}

std::tm LocalTime(std::time_t moment)
{
    std::tm local {};
    localtime_r(&moment, &local);
    return local;
}

} // namespace FileSystem
