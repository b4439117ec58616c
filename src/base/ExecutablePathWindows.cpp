#include "base/ExecutablePath.h"

#include <windows.h>

namespace {

// The narrow (ANSI code page) name, as every other file name the program
// hands to the C runtime is narrow too; null is the executable.
std::string FolderOf(HMODULE module)
{
    std::string path(MAX_PATH, '\0');
    for (;;) {
        const DWORD n = GetModuleFileNameA(module, path.data(), static_cast<DWORD>(path.size()));
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

} // namespace

std::string ExecutableDirectory()
{
    return FolderOf(nullptr);
}

std::string ModuleDirectory(const void* address)
{
    HMODULE module = nullptr;
    if (!GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
            static_cast<LPCSTR>(address), &module)) {
        return ".\\";
    }
    return FolderOf(module);
}
