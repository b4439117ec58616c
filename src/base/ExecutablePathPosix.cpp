#include "base/ExecutablePath.h"

#include <dlfcn.h>
#include <unistd.h>

#include <climits>

std::string ExecutableDirectory()
{
    char buf[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0) {
        return "./";
    }
    std::string path(buf, static_cast<size_t>(n));
    return path.substr(0, path.rfind('/') + 1);
}

std::string ModuleDirectory(const void* address)
{
    Dl_info info {};
    if (dladdr(address, &info) == 0 || info.dli_fname == nullptr) {
        return "./";
    }
    const std::string path = info.dli_fname;
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? "./" : path.substr(0, slash + 1);
}
