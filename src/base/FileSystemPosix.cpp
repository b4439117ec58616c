#include "base/FileSystem.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>


namespace FileSystem {

int OpenForAppend(const std::string& name)
{
    return open(name.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
}

std::tm LocalTime(std::time_t moment)
{
    std::tm local {};
    localtime_r(&moment, &local);
    return local;
}

} // namespace FileSystem
