#include "base/InstalledDataDirectory.h"

#include "base/ExecutablePath.h"

#include <windows.h>

namespace {

// Where the installer records the program folder (the key's default value)
// and the data folder. A 32-bit program reads the same 32-bit view of the
// registry that the 32-bit installer wrote.
constexpr const char* kInstallKey = "Software\\Velmora\\MemberInterface";
constexpr const char* kDataDirectoryValue = "DataDirectory";

std::string RegistryText(const char* name)
{
    DWORD size = 0;
    if (RegGetValueA(HKEY_LOCAL_MACHINE, kInstallKey, name, RRF_RT_REG_SZ, nullptr, nullptr, &size) != ERROR_SUCCESS
        || size == 0) {
        return {};
    }
    std::string text(size, '\0');
    if (RegGetValueA(HKEY_LOCAL_MACHINE, kInstallKey, name, RRF_RT_REG_SZ, nullptr, text.data(), &size)
        != ERROR_SUCCESS) {
        return {};
    }
    text.resize(size > 0 ? size - 1 : 0);
    return text;
}

std::string WithoutSeparator(std::string folder)
{
    while (!folder.empty() && (folder.back() == '\\' || folder.back() == '/')) {
        folder.pop_back();
    }
    return folder;
}

} // namespace

std::string InstalledDataDirectory()
{
    const std::string installed = WithoutSeparator(RegistryText(nullptr));
    if (installed.empty()
        || CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, installed.c_str(), -1,
               WithoutSeparator(ExecutableDirectory()).c_str(), -1)
            != CSTR_EQUAL) {
        return {};
    }
    const std::string data = WithoutSeparator(RegistryText(kDataDirectoryValue));
    return data.empty() ? std::string() : data + '\\';
}
