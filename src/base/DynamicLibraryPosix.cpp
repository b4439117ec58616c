#include "base/DynamicLibrary.h"

#include <dlfcn.h>

TDynamicLibrary::TDynamicLibrary(const std::string& path)
    : m_handle(dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL))
{
    if (m_handle == nullptr) {
        const char* why = dlerror();
        m_error = why != nullptr ? why : "cannot load " + path;
    }
}

TDynamicLibrary::~TDynamicLibrary()
{
    if (m_handle != nullptr) {
        dlclose(m_handle);
    }
}

TDynamicLibrary::TAnyFunction TDynamicLibrary::Address(const char* name) const
{
    return m_handle == nullptr ? nullptr : reinterpret_cast<TAnyFunction>(dlsym(m_handle, name));
}
