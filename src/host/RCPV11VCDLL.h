#pragma once

#include "host/PrinterFault.h"

#include <cstdint>
#include <memory>
#include <string>

// The card printer's library: a port handle from CommOpen, then status codes
// from every card and print call (32 is success). Texts are zero-terminated
// GBK. The driver talks to the printer only through this interface, so a
// test can stand in for the library.
class TCardPrinterLibrary {
public:
    virtual ~TCardPrinterLibrary() = default;

    // port 100 is USB (baudOrZero then 0); other numbers are serial ports.
    // Gives the port handle, 0 when the port cannot be opened.
    virtual int32_t CommOpen(int32_t port, int32_t baudOrZero) = 0;
    // Non-zero lowest byte: closed.
    virtual int32_t CommClose(int32_t handle) = 0;
    virtual int32_t Reset(int32_t handle, int32_t timeout) = 0;
    virtual int32_t CardInOver(int32_t handle, int32_t timeout) = 0;
    virtual int32_t Dischange(int32_t handle, int32_t mode, int32_t timeout) = 0;
    virtual int32_t RfidCardRequestAndWriteData(
        int32_t handle, int32_t block, int32_t mode, const char* key, const char* data, int32_t timeout)
        = 0;
    // Writes the block's data and a zero byte into buffer.
    virtual int32_t RfidCardRequestAndReadData(
        int32_t handle, int32_t block, int32_t mode, const char* key, char* buffer, int32_t timeout)
        = 0;
    virtual int32_t PrintBufferClear(int32_t handle, int32_t timeout) = 0;
    virtual int32_t PrintCharacterDataSetting(
        int32_t handle, int32_t mode, int32_t x, int32_t y, const char* text, int32_t length, int32_t timeout)
        = 0;
    virtual int32_t ErasePrintDischarge(int32_t handle, int32_t a, int32_t b, int32_t c, int32_t timeout) = 0;

    // Why no printer can be driven through this library at all (it could
    // not be loaded); empty when it can.
    virtual std::string LoadError() const { return {}; }
    // Who gave the last card or print call its status, asked right after
    // the call: the printer, or why the interface stood in for it. Without
    // a library nothing but the stand-in answers.
    virtual TPrinterFaultKind LastCallFault() const
    {
        return LoadError().empty() ? TPrinterFaultKind::Printer : TPrinterFaultKind::NoLibrary;
    }
};

// The vendor's DLL uses the Windows API calling convention; elsewhere the
// platform's C convention applies.
#ifdef _WIN32
#define RCPV11_CALL __stdcall
#else
#define RCPV11_CALL
#endif

// The exported functions' types, shared with the simulator so its exports
// cannot drift from what the loader expects.
namespace RCPV11 {
extern "C" {
using TCommOpen = int32_t(RCPV11_CALL*)(int32_t, int32_t);
using TCommClose = int32_t(RCPV11_CALL*)(int32_t);
using TReset = int32_t(RCPV11_CALL*)(int32_t, int32_t);
using TCardInOver = int32_t(RCPV11_CALL*)(int32_t, int32_t);
using TDischange = int32_t(RCPV11_CALL*)(int32_t, int32_t, int32_t);
using TRfidCardRequestAndWriteData
    = int32_t(RCPV11_CALL*)(int32_t, int32_t, int32_t, const char*, const char*, int32_t);
using TRfidCardRequestAndReadData = int32_t(RCPV11_CALL*)(int32_t, int32_t, int32_t, const char*, char*, int32_t);
using TPrintBufferClear = int32_t(RCPV11_CALL*)(int32_t, int32_t);
using TPrintCharacterDataSetting
    = int32_t(RCPV11_CALL*)(int32_t, int32_t, int32_t, int32_t, const char*, int32_t, int32_t);
using TErasePrintDischarge = int32_t(RCPV11_CALL*)(int32_t, int32_t, int32_t, int32_t, int32_t);
}

// Exported by the printer simulator alone: whatever its file is called, a
// library that has it drives no real printer.
constexpr const char* SimulatorMarker = "MemberCardPrinterSimulator";
} // namespace RCPV11

// The printer library loaded at run time. When the library or one of its
// ten functions is missing, nothing crashes: CommOpen gives no handle (0),
// CommClose reports "not closed" (0), and every card and print call gives
// status 1, the status of an empty port handle.
class TDynamicLibrary;

class TRCPV11Library : public TCardPrinterLibrary {
public:
    // The library file beside the running executable.
    TRCPV11Library();
    explicit TRCPV11Library(const std::string& libraryPath);
    ~TRCPV11Library() override;
    TRCPV11Library(const TRCPV11Library&) = delete;
    TRCPV11Library& operator=(const TRCPV11Library&) = delete;

    bool Loaded() const { return m_loaded; }
    // A loaded library that is the printer simulator (see SimulatorMarker).
    bool IsSimulator() const { return m_simulator; }
    // Why the library could not be used; empty when it was loaded.
    std::string LoadError() const override { return m_loadError; }
    // The file it was loaded from, or tried.
    const std::string& LibraryPath() const { return m_path; }

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

    // The file name the platform gives the vendor's library.
    static const char* const FileName;

private:
    struct TFunctions {
        RCPV11::TCommOpen CommOpen = nullptr;
        RCPV11::TCommClose CommClose = nullptr;
        RCPV11::TReset Reset = nullptr;
        RCPV11::TCardInOver CardInOver = nullptr;
        RCPV11::TDischange Dischange = nullptr;
        RCPV11::TRfidCardRequestAndWriteData RfidCardRequestAndWriteData = nullptr;
        RCPV11::TRfidCardRequestAndReadData RfidCardRequestAndReadData = nullptr;
        RCPV11::TPrintBufferClear PrintBufferClear = nullptr;
        RCPV11::TPrintCharacterDataSetting PrintCharacterDataSetting = nullptr;
        RCPV11::TErasePrintDischarge ErasePrintDischarge = nullptr;
    };

    // Owns the loaded library; unloading it while a call runs is ruled out
    // by the device owning the library for its whole life.
    std::string m_path;
    std::unique_ptr<TDynamicLibrary> m_module;
    TFunctions m_functions;
    bool m_loaded = false;
    bool m_simulator = false;
    std::string m_loadError;
};
