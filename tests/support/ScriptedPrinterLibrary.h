#pragma once

#include "host/RCPV11VCDLL.h"

#include <chrono>
#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <vector>

// Stands in for the printer library: records every call with its arguments
// and answers with scripted results. Unscripted calls succeed: CommOpen
// gives handle 7, CommClose 1, every other function 32.
class TScriptedPrinterLibrary : public TCardPrinterLibrary {
public:
    // The next calls of function return these results, in order.
    void Script(const std::string& function, std::vector<int32_t> results);
    // What a successful read puts into the buffer, byte for byte; no zero
    // byte is added.
    std::string ReadData;
    // Every call waits this long, so calls from several threads would overlap.
    std::chrono::milliseconds CallTime {0};

    // One entry per call: Name(arg,arg,...), texts in quotes with CR and LF
    // written as \r and \n.
    std::vector<std::string> Calls() const;
    // Calls that began while another was still running.
    int OverlappingCalls() const;
    // Whether the read buffer held only zero bytes (checked over 64 bytes).
    bool ReadBufferWasZeroed() const { return m_readBufferZeroed; }

    int32_t CommOpen(int32_t port, int32_t baudOrZero) override;
    int32_t CommClose(int32_t handle) override;
    int32_t Reset(int32_t handle, int32_t timeout) override;
    int32_t CardInOver(int32_t handle, int32_t timeout) override;
    int32_t Dischange(int32_t handle, int32_t mode, int32_t timeout) override;
    int32_t RfidCardRequestAndWriteData(
        int32_t handle, int32_t block, int32_t mode, const char* key, const char* data, int32_t timeout) override;
    int32_t RfidCardRequestAndReadData(
        int32_t handle, int32_t block, int32_t mode, const char* key, char* buffer, int32_t timeout) override;
    int32_t PrintBufferClear(int32_t handle, int32_t timeout) override;
    int32_t PrintCharacterDataSetting(int32_t handle, int32_t mode, int32_t x, int32_t y, const char* text,
        int32_t length, int32_t timeout) override;
    int32_t ErasePrintDischarge(int32_t handle, int32_t a, int32_t b, int32_t c, int32_t timeout) override;

private:
    int32_t Record(const std::string& call, const std::string& function, int32_t unscripted);

    mutable std::mutex m_mutex;
    std::map<std::string, std::deque<int32_t>> m_script;
    std::vector<std::string> m_calls;
    int m_running = 0;
    int m_overlapping = 0;
    bool m_readBufferZeroed = false;
};

// The texts as the fake records them.
std::string Quoted(const std::string& text);
