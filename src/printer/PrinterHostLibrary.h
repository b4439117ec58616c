#pragma once

#include "host/PrinterHostProtocol.h"
#include "host/RCPV11VCDLL.h"
#include "printer/PrinterHostProcess.h"
#include "status/ServiceStatus.h"

#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

struct TPrinterHostSettings {
    // The host executable; empty: member-printer-host beside this executable.
    std::string HostPath;
    // Given to the host before the library's path: the Windows host's
    // executable when HostPath is the Wine loader.
    std::vector<std::string> HostArguments;
    // "NAME=value" entries the host gets on top of this process's
    // environment (Wine's prefix, say).
    std::vector<std::string> HostEnvironment;
    // The library the host loads, as the host names files; empty: the one
    // beside the host.
    std::string LibraryPath;
    // The Windows host under Wine, loading the vendor's Windows DLL; the
    // status names that DLL by StatusLibraryPath, as this machine names it.
    bool UnderWine = false;
    std::string StatusLibraryPath;
    // A card or print call may take its own time-out argument (in ms) and
    // this much more before it counts as hung.
    std::chrono::milliseconds Grace {5000};
    // How long a call without a time-out argument (CommOpen, CommClose) and
    // the host's start may take.
    std::chrono::milliseconds UntimedLimit {10000};
};

// The printer library run in a process of its own, member-printer-host
// beside the program, one call at a time over a pipe: a crash or a call
// that never returns in the library ends that process, not the program.
//
// A call during which the host ends (a crash, an exit) or that does not
// return in time (its time-out argument plus Grace; the host is then
// killed) answers as a printer that gives no reply: card and print calls
// with status 2, CommOpen with no handle (0); CommClose says closed, as
// the port closes with the host. One log line and the service status say
// what happened. The next call starts a new host, which first opens every
// port that was open again with the arguments of its CommOpen; the driver
// keeps the handles it got, which are mapped to the new host's.
//
// When the first host cannot be started or finds no usable library, the
// calls answer as TRCPV11Library's do without a library, for the whole run.
// A first host that is still loading the library after UntimedLimit goes on
// loading while the program serves: calls fail at once until it is ready,
// and a port opened meanwhile is opened by it then. Before each call the
// pipe is looked at: bytes nobody asked for, or the host's end, mean a new
// host takes the call.
class TPrinterHostLibrary : public TCardPrinterLibrary {
public:
    // Starts the host beside this executable, with the library beside it.
    TPrinterHostLibrary();
    explicit TPrinterHostLibrary(TPrinterHostSettings settings);
    // Ends the host: it ends by itself when its pipe closes.
    ~TPrinterHostLibrary() override;
    TPrinterHostLibrary(const TPrinterHostLibrary&) = delete;
    TPrinterHostLibrary& operator=(const TPrinterHostLibrary&) = delete;

    // As the first host found the library.
    bool Loaded() const { return m_loaded; }
    bool IsSimulator() const { return m_simulator; }
    std::string LoadError() const override { return m_loadError; }
    // From the thread that made the call.
    TPrinterFaultKind LastCallFault() const override { return m_lastCallFault; }
    // The library file the host loads, loaded or not, as this machine
    // names it.
    std::string LibraryPath() const;
    // What the status calls the library: None until a host has loaded it.
    TPrinterLibraryKind Kind() const;

    // From any thread: gives up the call in progress, if any, which then
    // answers at once as a hung call does, and ends the host, closing the
    // port. Until the next CommOpen every card and print call answers as on
    // a closed port (status 1) without starting a host.
    void Abandon();

    // The running host's process id, 0 when none runs.
    int64_t HostProcessId() const;

    int32_t CommOpen(int32_t port, int32_t baudOrZero) override;
    int32_t CommClose(int32_t handle) override;
    int32_t Reset(int32_t handle, int32_t timeout) override;
    int32_t CardInOver(int32_t handle, int32_t timeout) override;
    int32_t Dischange(int32_t handle, int32_t mode, int32_t timeout) override;
    int32_t RfidCardRequestAndWriteData(
        int32_t handle, int32_t block, int32_t mode, const char* key, const char* data, int32_t timeout) override;
    // Writes at most 256 bytes into buffer: the data and its zero byte.
    int32_t RfidCardRequestAndReadData(
        int32_t handle, int32_t block, int32_t mode, const char* key, char* buffer, int32_t timeout) override;
    int32_t PrintBufferClear(int32_t handle, int32_t timeout) override;
    int32_t PrintCharacterDataSetting(int32_t handle, int32_t mode, int32_t x, int32_t y, const char* text,
        int32_t length, int32_t timeout) override;
    int32_t ErasePrintDischarge(int32_t handle, int32_t a, int32_t b, int32_t c, int32_t timeout) override;

private:
    enum class TOutcome {
        Replied,
        // The host had ended before it took the request.
        NotDelivered,
        // The host ended or was killed during the call.
        Failed,
    };

    // An open port as the driver knows it.
    struct TPort {
        int32_t Port = 0;
        int32_t Baud = 0;
        // Its handle in the running host; 0 when that host could not open it.
        int32_t HostHandle = 0;
        // Closed with a host that was given up: not opened again.
        bool Closed = false;
    };

    // A card or print call: the handle is the first integer, the time-out
    // the last one.
    int32_t CardCall(PrinterHost::TRequest request, std::string* output = nullptr);

    // Marks a call in progress for Abandon; false when calls are given up.
    bool BeginCall();
    void EndCall();
    // Whether Abandon came (for the call in progress or since).
    bool Abandoned() const;
    // A host that Abandon ended is collected, without a word, and its
    // ports count as closed.
    void DropAbandonedHost();

    enum class THello {
        Came,
        // Not yet: the host is still loading the library.
        Pending,
        // The host has gone (collected); why says why.
        Failed,
    };

    // Starts a host; empty when it runs, else why not.
    std::string LaunchHost();
    // The starting host's hello by deadline; a deadline that has passed
    // looks without waiting.
    THello AwaitHello(std::chrono::steady_clock::time_point deadline, std::string& why);
    std::string StillLoading() const;
    // Said when a host has not come up within its bound and goes on
    // loading the library while calls fail at once.
    void LoadingInBackground() const;
    // Ends the running host when its pipe is not quiet between calls: bytes
    // nobody asked for, or its end (logged).
    void DropUnsoundHost();
    // A host could not be had: counted, said once until one runs again.
    // Always false.
    bool StartFailed(const std::string& why);
    // A host for the next request: the running one, or a new one that has
    // opened the open ports again. False when none could be had (logged),
    // at once while a host is still loading the library.
    bool EnsureHost();
    // One request and its reply on the running host. On failure the host
    // is gone and the failure logged, naming function.
    TOutcome Exchange(const PrinterHost::TRequest& request, std::chrono::milliseconds limit,
        PrinterHost::TReply& reply);
    // One frame from the running host by deadline; read says how the last
    // read went (TimedOut, Ended, or Done for a frame too long).
    bool ReadFrame(
        std::chrono::steady_clock::time_point deadline, std::string& payload, TPrinterHostProcess::TRead& read);
    // request on a host, a second time on a new host when the first had
    // ended before it took the call; driverHandle, when given, becomes the
    // running host's handle in the first integer before each try. Nothing
    // when no host could be had or the call failed (logged).
    std::optional<PrinterHost::TReply> Call(PrinterHost::TRequest request, std::chrono::milliseconds limit,
        std::optional<int32_t> driverHandle);
    // Collects the host after its end and forgets it; gives how it ended.
    std::string CollectHost();
    void SetHost(std::unique_ptr<TPrinterHostProcess> host);
    int32_t HostHandle(int32_t handle) const;

    TPrinterHostSettings m_settings;
    bool m_loaded = false;
    bool m_simulator = false;
    std::string m_loadError;
    // The first host came up with the library: calls go to hosts.
    bool m_usable = false;

    // One call at a time, from whichever thread.
    std::mutex m_callMutex;
    std::map<int32_t, TPort> m_ports;
    int32_t m_nextOwnHandle = 0x7F000001;
    // A new host could not be started; said once until one starts again.
    bool m_startFailing = false;
    // The service status names the library the hosts load: false while the
    // first host is still loading it.
    bool m_libraryReported = true;
    // The running host has said hello; when it started.
    bool m_hostReady = false;
    std::chrono::steady_clock::time_point m_startedAt;
    // Set by every card and print call.
    TPrinterFaultKind m_lastCallFault = TPrinterFaultKind::Printer;

    // What Abandon touches, from any thread. m_host changes only under
    // both mutexes, so the calling thread may use it under m_callMutex alone.
    mutable std::mutex m_stateMutex;
    std::unique_ptr<TPrinterHostProcess> m_host;
    bool m_abandoned = false;
    bool m_inCall = false;
    bool m_callAbandoned = false;
};
