#include "sim/LibraryFolder.h"

#include <windows.h>

std::string LibraryFolder()
{
    // The module that holds this very function: the DLL, not the program.
    HMODULE module = nullptr;
    if (!GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
            reinterpret_cast<LPCSTR>(&LibraryFolder), &module)) {
        return ".\\";
    }
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
