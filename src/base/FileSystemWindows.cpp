#include "base/FileSystem.h"

#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>

namespace FileSystem {

int OpenForAppend(const std::string& name)
{
    // _O_BINARY: in the runtime's default text mode every LF would gain a
    // CR, and the CR LF the log writes would reach the disk as CR CR LF.
    return _open(name.c_str(), _O_WRONLY | _O_CREAT | _O_APPEND | _O_BINARY | _O_NOINHERIT, _S_IREAD | _S_IWRITE);
}

std::tm LocalTime(std::time_t moment)
{
    std::tm local {};
    localtime_s(&local, &moment);
    return local;
}

} // namespace FileSystem
