#pragma once

#include <string>

// A shared library loaded at run time, unloaded when the object goes.
class TDynamicLibrary {
public:
    explicit TDynamicLibrary(const std::string& path);
    ~TDynamicLibrary();
    TDynamicLibrary(const TDynamicLibrary&) = delete;
    TDynamicLibrary& operator=(const TDynamicLibrary&) = delete;

    bool Loaded() const { return m_handle != nullptr; }
    // Why the library could not be loaded, naming its path; empty when it was.
    const std::string& Error() const { return m_error; }

    // The exported function of that (undecorated) name, or null. The caller
    // casts it to the function's exact type, calling convention included.
    template <typename TFunction>
    TFunction Function(const char* name) const
    {
        return reinterpret_cast<TFunction>(Address(name));
    }

    // Whether the library exports a symbol of that name, function or not.
    bool Exports(const char* name) const { return Address(name) != nullptr; }

private:
    using TAnyFunction = void (*)();
    TAnyFunction Address(const char* name) const;

    void* m_handle = nullptr;
    std::string m_error;
};
