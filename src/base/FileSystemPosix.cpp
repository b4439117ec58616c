#include "base/FileSystem.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>

namespace FileSystem {

int OpenForAppend(const std::string& name)
{
    return open(name.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
}

bool SetMode(int fd, unsigned mode)
{
    return fchmod(fd, static_cast<mode_t>(mode)) == 0;
}

bool Sync(int fd)
{
    return fsync(fd) == 0;
}

bool Replace(const std::string& from, const std::string& to)
{
    return std::rename(from.c_str(), to.c_str()) == 0;
}

std::tm LocalTime(std::time_t moment)
{
    std::tm local {};
    localtime_r(&moment, &local);
    return local;
}

} // namespace FileSystem
