#pragma once

#include "InstantDevice.h"

#include "host/RCPV11VCDLL.h"
#include "member/TRWGII2010DMemberUnit.h"

#include <QTemporaryDir>

#include <string>

// The process-wide objects a handler needs, in a folder of their own that
// is removed afterwards, with an instant device in place.
class TBenchEnvironment {
public:
    TBenchEnvironment();
    ~TBenchEnvironment();
    TBenchEnvironment(const TBenchEnvironment&) = delete;
    TBenchEnvironment& operator=(const TBenchEnvironment&) = delete;

    void SetLogging(bool on);
    // Size of the log file so far: shows that logging really was on or off.
    size_t LogBytes() const;

private:
    QTemporaryDir m_dir;
    TInstantDevice m_device;
};

// The real driver with a printer library that could not be loaded, as on a
// PC where the vendor's library is missing: every card call fails at once,
// with the driver's own fault lines. It is the current device while it
// lives; the instant device takes over again afterwards.
class TNoLibraryDevice {
public:
    TNoLibraryDevice();
    ~TNoLibraryDevice();
    TNoLibraryDevice(const TNoLibraryDevice&) = delete;
    TNoLibraryDevice& operator=(const TNoLibraryDevice&) = delete;

private:
    QTemporaryDir m_dir;
    TRCPV11Library m_library;
    TTRWGII2010DMember m_device;
    TBaseMember* m_previous = nullptr;
};

// The requests the benchmarks send, as UTF-8 text without the zero byte.
// The write is the protocol's own example and is answered in 233 bytes.
namespace BenchRequests {
extern const char* const Write;
extern const char* const Read;
extern const char* const Print;
} // namespace BenchRequests
