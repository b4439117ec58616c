#include "sim/LibraryFolder.h"

#include <dlfcn.h>

std::string LibraryFolder()
{
    Dl_info info {};
    if (dladdr(reinterpret_cast<const void*>(&LibraryFolder), &info) == 0 || info.dli_fname == nullptr) {
        return "./";
    }
    const std::string path = info.dli_fname;
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? "./" : path.substr(0, slash + 1);
}
