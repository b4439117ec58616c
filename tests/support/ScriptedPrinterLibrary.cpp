#include "support/ScriptedPrinterLibrary.h"

#include <algorithm>
#include <cstring>
#include <thread>

namespace {

std::string Args(std::initializer_list<std::string> args)
{
    std::string joined;
    for (const std::string& arg : args) {
        if (!joined.empty()) {
            joined += ",";
        }
        joined += arg;
    }
    return "(" + joined + ")";
}

std::string N(int32_t value)
{
    return std::to_string(value);
}

} // namespace

std::string Quoted(const std::string& text)
{
    std::string quoted = "\"";
    for (char c : text) {
        if (c == '\r') {
            quoted += "\\r";
        } else if (c == '\n') {
            quoted += "\\n";
        } else {
            quoted.push_back(c);
        }
    }
    return quoted + "\"";
}

void TScriptedPrinterLibrary::Script(const std::string& function, std::vector<int32_t> results)
{
    std::scoped_lock lock(m_mutex);
    auto& queue = m_script[function];
    queue.insert(queue.end(), results.begin(), results.end());
}

std::vector<std::string> TScriptedPrinterLibrary::Calls() const
{
    std::scoped_lock lock(m_mutex);
    return m_calls;
}

int TScriptedPrinterLibrary::OverlappingCalls() const
{
    std::scoped_lock lock(m_mutex);
    return m_overlapping;
}

int32_t TScriptedPrinterLibrary::Record(const std::string& call, const std::string& function, int32_t unscripted)
{
    int32_t result = unscripted;
    {
        std::scoped_lock lock(m_mutex);
        m_calls.push_back(function + call);
        if (m_running++ > 0) {
            ++m_overlapping;
        }
        auto& queue = m_script[function];
        if (!queue.empty()) {
            result = queue.front();
            queue.pop_front();
        }
    }
    std::this_thread::sleep_for(CallTime);
    std::scoped_lock lock(m_mutex);
    --m_running;
    return result;
}

int32_t TScriptedPrinterLibrary::CommOpen(int32_t port, int32_t baudOrZero)
{
    return Record(Args({N(port), N(baudOrZero)}), "CommOpen", 7);
}

int32_t TScriptedPrinterLibrary::CommClose(int32_t handle)
{
    return Record(Args({N(handle)}), "CommClose", 1);
}

int32_t TScriptedPrinterLibrary::Reset(int32_t handle, int32_t timeout)
{
    return Record(Args({N(handle), N(timeout)}), "Reset", 32);
}

int32_t TScriptedPrinterLibrary::CardInOver(int32_t handle, int32_t timeout)
{
    return Record(Args({N(handle), N(timeout)}), "CardInOver", 32);
}

int32_t TScriptedPrinterLibrary::Dischange(int32_t handle, int32_t mode, int32_t timeout)
{
    return Record(Args({N(handle), N(mode), N(timeout)}), "Dischange", 32);
}

int32_t TScriptedPrinterLibrary::RfidCardRequestAndWriteData(
    int32_t handle, int32_t block, int32_t mode, const char* key, const char* data, int32_t timeout)
{
    return Record(Args({N(handle), N(block), N(mode), Quoted(key), Quoted(data), N(timeout)}),
        "RfidCardRequestAndWriteData", 32);
}

int32_t TScriptedPrinterLibrary::RfidCardRequestAndReadData(
    int32_t handle, int32_t block, int32_t mode, const char* key, char* buffer, int32_t timeout)
{
    m_readBufferZeroed = std::all_of(buffer, buffer + 64, [](char c) { return c == 0; });
    const int32_t result = Record(
        Args({N(handle), N(block), N(mode), Quoted(key), "buffer", N(timeout)}), "RfidCardRequestAndReadData", 32);
    if (result == 32) {
        std::memcpy(buffer, ReadData.data(), ReadData.size());
    }
    return result;
}

int32_t TScriptedPrinterLibrary::PrintBufferClear(int32_t handle, int32_t timeout)
{
    return Record(Args({N(handle), N(timeout)}), "PrintBufferClear", 32);
}

int32_t TScriptedPrinterLibrary::PrintCharacterDataSetting(
    int32_t handle, int32_t mode, int32_t x, int32_t y, const char* text, int32_t length, int32_t timeout)
{
    // The text as a zero-terminated string, so a length that does not match it shows.
    return Record(Args({N(handle), N(mode), N(x), N(y), Quoted(text),
                      N(length), N(timeout)}),
        "PrintCharacterDataSetting", 32);
}

int32_t TScriptedPrinterLibrary::ErasePrintDischarge(int32_t handle, int32_t a, int32_t b, int32_t c, int32_t timeout)
{
    return Record(Args({N(handle), N(a), N(b), N(c), N(timeout)}), "ErasePrintDischarge", 32);
}
