#include "base/ExecutablePath.h"

#include <windows.h>

std::string ExecutableDirectory()
{
    // The narrow (ANSI code page) name, as every other file name the program
    // hands to the C runtime is narrow too.
    std::string path(MAX_PATH, '\0');
    for (;;) {
        const DWORD n = GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (n == 0) {
            return ".\\";
        }
        if (n < path.size()) {
            path.resize(n);
            break;
        }
        path.resize(path.size() * 2);
    }
    const size_t separator = path.find_last_of("\\/");
    return separator == std::string::npos ? ".\\" : path.substr(0, separator + 1);
}
