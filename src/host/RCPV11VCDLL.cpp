#include "host/RCPV11VCDLL.h"

#include "base/DynamicLibrary.h"
#include "base/ExecutablePath.h"

#include <type_traits>

namespace {

// The status the vendor gives for a call on an empty port handle.
constexpr int32_t kNoPortHandle = 1;

} // namespace

// The simulator's file name as the build gives it; the vendor's library
// carries the same name.
const char* const TRCPV11Library::FileName = RCPV11_FILE_NAME;

TRCPV11Library::TRCPV11Library()
    : TRCPV11Library(ExecutableDirectory() + FileName)
{
}

TRCPV11Library::TRCPV11Library(const std::string& libraryPath)
    : m_path(libraryPath)
    , m_module(std::make_unique<TDynamicLibrary>(libraryPath))
{
    if (!m_module->Loaded()) {
        m_loadError = m_module->Error();
        return;
    }
    // A missing function is remembered as the error (the first one named)
    // and leaves its pointer null.
    const auto resolve = [this](const char* name, auto& target) {
        target = m_module->Function<std::remove_reference_t<decltype(target)>>(name);
        if (target == nullptr && m_loadError.empty()) {
            m_loadError = std::string("missing function ") + name;
        }
    };
    TFunctions f;
    resolve("CommOpen", f.CommOpen);
    resolve("CommClose", f.CommClose);
    resolve("Reset", f.Reset);
    resolve("CardInOver", f.CardInOver);
    resolve("Dischange", f.Dischange);
    resolve("RfidCardRequestAndWriteData", f.RfidCardRequestAndWriteData);
    resolve("RfidCardRequestAndReadData", f.RfidCardRequestAndReadData);
    resolve("PrintBufferClear", f.PrintBufferClear);
    resolve("PrintCharacterDataSetting", f.PrintCharacterDataSetting);
    resolve("ErasePrintDischarge", f.ErasePrintDischarge);
    if (!m_loadError.empty()) {
        // A library that lacks one function is not the library we know;
        // using the other nine could drive the printer half way.
        m_module.reset();
        return;
    }
    m_functions = f;
    m_loaded = true;
    m_simulator = m_module->Exports(RCPV11::SimulatorMarker);
}

TRCPV11Library::~TRCPV11Library() = default;

int32_t TRCPV11Library::CommOpen(int32_t port, int32_t baudOrZero)
{
    return m_loaded ? m_functions.CommOpen(port, baudOrZero) : 0;
}

int32_t TRCPV11Library::CommClose(int32_t handle)
{
    return m_loaded ? m_functions.CommClose(handle) : 0;
}

int32_t TRCPV11Library::Reset(int32_t handle, int32_t timeout)
{
    return m_loaded ? m_functions.Reset(handle, timeout) : kNoPortHandle;
}

int32_t TRCPV11Library::CardInOver(int32_t handle, int32_t timeout)
{
    return m_loaded ? m_functions.CardInOver(handle, timeout) : kNoPortHandle;
}

int32_t TRCPV11Library::Dischange(int32_t handle, int32_t mode, int32_t timeout)
{
    return m_loaded ? m_functions.Dischange(handle, mode, timeout) : kNoPortHandle;
}

int32_t TRCPV11Library::RfidCardRequestAndWriteData(
    int32_t handle, int32_t block, int32_t mode, const char* key, const char* data, int32_t timeout)
{
    return m_loaded ? m_functions.RfidCardRequestAndWriteData(handle, block, mode, key, data, timeout)
                    : kNoPortHandle;
}

int32_t TRCPV11Library::RfidCardRequestAndReadData(
    int32_t handle, int32_t block, int32_t mode, const char* key, char* buffer, int32_t timeout)
{
    return m_loaded ? m_functions.RfidCardRequestAndReadData(handle, block, mode, key, buffer, timeout)
                    : kNoPortHandle;
}

int32_t TRCPV11Library::PrintBufferClear(int32_t handle, int32_t timeout)
{
    return m_loaded ? m_functions.PrintBufferClear(handle, timeout) : kNoPortHandle;
}

int32_t TRCPV11Library::PrintCharacterDataSetting(
    int32_t handle, int32_t mode, int32_t x, int32_t y, const char* text, int32_t length, int32_t timeout)
{
    return m_loaded ? m_functions.PrintCharacterDataSetting(handle, mode, x, y, text, length, timeout)
                    : kNoPortHandle;
}

int32_t TRCPV11Library::ErasePrintDischarge(int32_t handle, int32_t a, int32_t b, int32_t c, int32_t timeout)
{
    return m_loaded ? m_functions.ErasePrintDischarge(handle, a, b, c, timeout) : kNoPortHandle;
}
