#include "status/ProcessFigures.h"

#include <dirent.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

namespace {

std::optional<uint64_t> OpenDescriptors()
{
    DIR* folder = opendir("/proc/self/fd");
    if (folder == nullptr) {
        return std::nullopt;
    }
    uint64_t count = 0;
    while (const dirent* entry = readdir(folder)) {
        if (entry->d_name[0] != '.') {
            ++count;
        }
    }
    closedir(folder);
    // The listing's own descriptor is not the program's.
    return count > 0 ? count - 1 : 0;
}

} // namespace

TProcessFigures ReadProcessFigures()
{
    TProcessFigures figures;
    figures.OpenFds = OpenDescriptors();
    rlimit limit {};
    if (getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY) {
        figures.MaxFds = limit.rlim_cur;
    }
    // /proc/self/stat: the command's name is in parentheses and may hold
    // spaces, so the fields are counted from the last ')'.
    std::ifstream stat("/proc/self/stat");
    std::string line;
    if (!std::getline(stat, line)) {
        return figures;
    }
    const size_t close = line.rfind(')');
    if (close == std::string::npos) {
        return figures;
    }
    std::istringstream fields(line.substr(close + 2));
    std::string field;
    // Fields from the third (state) on; utime is the 14th, stime the 15th,
    // vsize the 23rd and rss (pages) the 24th.
    uint64_t utime = 0;
    uint64_t stime = 0;
    uint64_t vsize = 0;
    uint64_t rss = 0;
    for (int number = 3; number <= 24 && fields >> field; ++number) {
        switch (number) {
        case 14:
            utime = std::stoull(field);
            break;
        case 15:
            stime = std::stoull(field);
            break;
        case 23:
            vsize = std::stoull(field);
            break;
        case 24:
            rss = std::stoull(field);
            figures.VirtualBytes = vsize;
            figures.ResidentBytes = rss * static_cast<uint64_t>(sysconf(_SC_PAGESIZE));
            figures.CpuSeconds = static_cast<double>(utime + stime) / static_cast<double>(sysconf(_SC_CLK_TCK));
            break;
        default:
            break;
        }
    }
    return figures;
}
