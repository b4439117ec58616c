#include "log/ServiceJournal.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cinttypes>
#include <cstdlib>

bool StandardErrorIsJournal()
{
    const char* named = std::getenv("JOURNAL_STREAM");
    uintmax_t device = 0;
    uintmax_t inode = 0;
    if (named == nullptr || std::sscanf(named, "%" SCNuMAX ":%" SCNuMAX, &device, &inode) != 2) {
        return false;
    }
    struct stat stream {};
    return fstat(STDERR_FILENO, &stream) == 0 && static_cast<uintmax_t>(stream.st_dev) == device
        && static_cast<uintmax_t>(stream.st_ino) == inode;
}
