#include "base/DynamicLibrary.h"

#include <windows.h>

namespace {

HMODULE Module(void* handle)
{
    return static_cast<HMODULE>(handle);
}

} // namespace

TDynamicLibrary::TDynamicLibrary(const std::string& path)
    : m_handle(LoadLibraryA(path.c_str()))
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
