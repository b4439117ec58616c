#include "base/DynamicLibrary.h"

#include <windows.h>

namespace {

HMODULE Module(void* handle)
{
    return static_cast<HMODULE>(handle);
}

// By its full path, and what it needs in turn from its own folder, the
// program's and System32 only: never from the current folder or the PATH.
// The folder flag takes only a full path, so a relative one is made full.
HMODULE LoadByFullPath(const std::string& path)
{
    std::string full(MAX_PATH, '\0');
    for (;;) {
        const DWORD n = GetFullPathNameA(path.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
        if (n == 0) {
            return nullptr;
        }
        if (n < full.size()) {
            full.resize(n);
            break;
        }
        full.resize(n);
    }
    return LoadLibraryExA(full.c_str(), nullptr, LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR | LOAD_LIBRARY_SEARCH_DEFAULT_DIRS);
}

} // namespace

TDynamicLibrary::TDynamicLibrary(const std::string& path)
    : m_handle(LoadByFullPath(path))
{
    if (m_handle == nullptr) {
        // 126: the file or a library it needs is missing; 193: not a library
        // for this process's width (a 64-bit DLL in a 32-bit program).
        m_error = "cannot load " + path + " (error " + std::to_string(GetLastError()) + ")";
    }
}

TDynamicLibrary::~TDynamicLibrary()
{
    if (m_handle != nullptr) {
        FreeLibrary(Module(m_handle));
    }
}

TDynamicLibrary::TAnyFunction TDynamicLibrary::Address(const char* name) const
{
    return m_handle == nullptr ? nullptr : reinterpret_cast<TAnyFunction>(GetProcAddress(Module(m_handle), name));
}
