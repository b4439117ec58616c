#include "printer/PrinterHostLibrary.h"

#include "base/ExecutablePath.h"
#include "base/TextCodec.h"
#include "host/PrinterHostProtocol.h"
#include "log/LogFileUnit.h"
#include "log/ServiceJournal.h"
#include "printer/PrinterHostProcess.h"
#include "status/ServiceMetrics.h"
#include "status/ServiceStatus.h"

#include <algorithm>
#include <cstring>

using PrinterHost::TFunction;
using PrinterHost::TReply;
using PrinterHost::TRequest;

namespace {

// The status the vendor gives when the printer sends no reply
// (StatusText: 等待命令回复超时).
constexpr int32_t kNoReply = 2;
// The status the vendor gives for a call on an empty port handle.
constexpr int32_t kNoPortHandle = 1;
// The host ends by itself once its pipe closes; it gets this long.
constexpr std::chrono::milliseconds kEndGrace {2000};
// A host still loading its library after its start bound goes on loading
// while calls fail at once; after this long it is given up and the next
// call starts another.
constexpr std::chrono::seconds kSlowStartLimit {120};

// texts are UTF-8 here and GBK in the log and the status.
void Log(const std::string& utf8)
{
    if (LogFile) {
        LogFile->WriteLine(Gbk(utf8));
    }
}

void Failed(TPrinterLibraryFailure failure, const std::string& logLine, const std::string& detail)
{
    Log(logLine);
    ServiceStatus().PrinterLibraryFailed(failure, Gbk(detail));
    const bool crashed = failure == TPrinterLibraryFailure::Crashed;
    ServiceJournal().Line(TJournalPriority::Error, crashed ? "library crash" : "library hang",
        std::string(crashed ? "printer library crashed: " : "printer library hung: ") + detail
            + "; a new printer host starts with the next call");
}

std::optional<std::string> Text(const char* text, size_t maximum = std::string::npos)
{
    if (text == nullptr) {
        return std::nullopt;
    }
    return std::string(text, maximum == std::string::npos ? std::strlen(text) : strnlen(text, maximum));
}

TRequest Request(TFunction function, std::vector<int32_t> integers, std::vector<std::optional<std::string>> texts = {})
{
    TRequest request;
    request.Function = function;
    request.Integers = std::move(integers);
    request.Texts = std::move(texts);
    return request;
}

} // namespace

TPrinterHostLibrary::TPrinterHostLibrary()
    : TPrinterHostLibrary(TPrinterHostSettings {})
{
}

TPrinterLibraryKind TPrinterHostLibrary::Kind() const
{
    if (!m_loaded) {
        return TPrinterLibraryKind::None;
    }
    if (m_settings.UnderWine) {
        return m_simulator ? TPrinterLibraryKind::SimulatorWine : TPrinterLibraryKind::VendorWine;
    }
    return m_simulator ? TPrinterLibraryKind::Simulator : TPrinterLibraryKind::Vendor;
}

std::string TPrinterHostLibrary::LibraryPath() const
{
    if (!m_settings.StatusLibraryPath.empty()) {
        return m_settings.StatusLibraryPath;
    }
    if (!m_settings.LibraryPath.empty()) {
        return m_settings.LibraryPath;
    }
    // The host looks beside itself, as the program does in-process.
    const size_t folderEnd = m_settings.HostPath.find_last_of("/\\");
    return m_settings.HostPath.substr(0, folderEnd == std::string::npos ? 0 : folderEnd + 1) + TRCPV11Library::FileName;
}

TPrinterHostLibrary::TPrinterHostLibrary(TPrinterHostSettings settings)
    : m_settings(std::move(settings))
{
    if (m_settings.HostPath.empty()) {
        m_settings.HostPath = ExecutableDirectory() + PrinterHost::FileName;
    }
    std::scoped_lock call(m_callMutex);
    std::string why = LaunchHost();
    if (!why.empty()) {
        m_loadError = why;
        return;
    }
    switch (AwaitHello(std::chrono::steady_clock::now() + m_settings.UntimedLimit, why)) {
    case THello::Came:
        m_usable = m_loaded;
        if (!m_usable) {
            // Nothing to run: answered here as TRCPV11Library answers.
            m_host->Finish(kEndGrace);
            SetHost(nullptr);
        }
        break;
    case THello::Pending:
        // The program does not wait any longer to serve; the host goes on
        // loading, and the first call after it is ready finds it.
        m_usable = true;
        m_libraryReported = false;
        m_loadError = StillLoading();
        LoadingInBackground();
        break;
    case THello::Failed:
        m_loadError = why;
        break;
    }
}

TPrinterHostLibrary::~TPrinterHostLibrary()
{
    std::scoped_lock call(m_callMutex);
    if (m_host) {
        m_host->Finish(kEndGrace);
        SetHost(nullptr);
    }
}

int64_t TPrinterHostLibrary::HostProcessId() const
{
    std::scoped_lock lock(m_stateMutex);
    return m_host ? m_host->ProcessId() : 0;
}

void TPrinterHostLibrary::Abandon()
{
    std::scoped_lock lock(m_stateMutex);
    m_abandoned = true;
    if (m_inCall) {
        m_callAbandoned = true;
    }
    if (m_host) {
        m_host->Kill();
    }
}

bool TPrinterHostLibrary::BeginCall()
{
    std::scoped_lock lock(m_stateMutex);
    if (m_abandoned) {
        return false;
    }
    m_inCall = true;
    m_callAbandoned = false;
    return true;
}

void TPrinterHostLibrary::EndCall()
{
    std::scoped_lock lock(m_stateMutex);
    m_inCall = false;
}

void TPrinterHostLibrary::SetHost(std::unique_ptr<TPrinterHostProcess> host)
{
    std::scoped_lock lock(m_stateMutex);
    m_host = std::move(host);
    m_hostReady = false;
}

bool TPrinterHostLibrary::Abandoned() const
{
    std::scoped_lock lock(m_stateMutex);
    return m_abandoned || m_callAbandoned;
}

void TPrinterHostLibrary::DropAbandonedHost()
{
    {
        std::scoped_lock lock(m_stateMutex);
        if (!m_abandoned) {
            return;
        }
    }
    if (m_host) {
        m_host->Kill();
        m_host->Wait();
        SetHost(nullptr);
    }
    for (auto& [handle, port] : m_ports) {
        port.Closed = true;
    }
}

std::string TPrinterHostLibrary::LaunchHost()
{
    auto host = std::make_unique<TPrinterHostProcess>();
    std::vector<std::string> arguments = m_settings.HostArguments;
    if (!m_settings.LibraryPath.empty()) {
        arguments.push_back(m_settings.LibraryPath);
    }
    std::string why = host->Start(m_settings.HostPath, arguments, m_settings.HostEnvironment);
    if (why.empty()) {
        SetHost(std::move(host));
        m_startedAt = std::chrono::steady_clock::now();
    }
    return why;
}

TPrinterHostLibrary::THello TPrinterHostLibrary::AwaitHello(
    std::chrono::steady_clock::time_point deadline, std::string& why)
{
    if (deadline <= std::chrono::steady_clock::now()) {
        // A look without waiting: once the hello's first bytes are there,
        // the rest follows at once.
        switch (m_host->Idle()) {
        case TPrinterHostProcess::TIdle::Quiet:
            return THello::Pending;
        case TPrinterHostProcess::TIdle::Bytes:
        case TPrinterHostProcess::TIdle::Ended:
            deadline = std::chrono::steady_clock::now() + m_settings.UntimedLimit;
            break;
        }
    }
    std::string payload;
    TPrinterHostProcess::TRead read = TPrinterHostProcess::TRead::Done;
    const bool framed = ReadFrame(deadline, payload, read);
    PrinterHost::THello hello;
    if (framed && PrinterHost::DecodeHello(payload, hello) && hello.ProtocolVersion == PrinterHost::Version) {
        m_loaded = hello.Loaded;
        m_simulator = hello.Simulator;
        m_loadError = hello.Error;
        m_hostReady = true;
        return THello::Came;
    }
    if (!framed && read == TPrinterHostProcess::TRead::TimedOut && payload.empty()) {
        return THello::Pending;
    }
    why.clear();
    if (read == TPrinterHostProcess::TRead::Done) {
        why = m_settings.HostPath + " is not the printer host of this program";
    } else if (read == TPrinterHostProcess::TRead::TimedOut) {
        why = m_settings.HostPath + " stopped in the middle of its hello";
    }
    m_host->Kill();
    const std::string end = CollectHost();
    if (why.empty()) {
        why = m_settings.HostPath + " ended at its start (" + end + ")";
    }
    return THello::Failed;
}

std::string TPrinterHostLibrary::StillLoading() const
{
    return m_settings.HostPath + " is still loading the printer library after "
        + std::to_string(m_settings.UntimedLimit.count()) + " ms";
}

void TPrinterHostLibrary::LoadingInBackground() const
{
    Log("打印机库加载超过" + std::to_string(m_settings.UntimedLimit.count()) + "毫秒,在后台继续加载.");
    ServiceStatus().PrinterHostProblem(StillLoading());
}

std::string TPrinterHostLibrary::CollectHost()
{
    const TPrinterHostProcess::TExit exit = m_host->Wait();
    SetHost(nullptr);
    return TPrinterHostProcess::Describe(exit);
}


void TPrinterHostLibrary::DropUnsoundHost()
{
    switch (m_host->Idle()) {
    case TPrinterHostProcess::TIdle::Quiet:
        return;
    case TPrinterHostProcess::TIdle::Bytes: {
        // Left over from an earlier call, or written by something the
        // library started: read as the next reply, it would answer a call
        // it does not belong to.
        m_host->Kill();
        const std::string end = CollectHost();
        Log("打印机库进程在调用之间发来数据,已结束进程(" + end + ").");
        ServiceMetrics().PrinterHostRestarted(TPrinterHostRestart::Stray);
        ServiceJournal().Line(TJournalPriority::Warning, "host stray",
            "printer host sent bytes between calls; it was ended, and a new one takes the next call");
        return;
    }
    case TPrinterHostProcess::TIdle::Ended: {
        m_host->Kill();
        const std::string end = CollectHost();
        Failed(TPrinterLibraryFailure::Crashed, "打印机库进程意外结束:" + end + ".", "空闲时 " + end);
        ServiceMetrics().PrinterHostRestarted(TPrinterHostRestart::Crash);
        return;
    }
    }
}

bool TPrinterHostLibrary::StartFailed(const std::string& why)
{
    ServiceMetrics().PrinterHostRestarted(TPrinterHostRestart::StartFailed);
    if (!m_startFailing) {
        Log("打印机库进程无法启动:" + why);
        ServiceJournal().Line(TJournalPriority::Error, "host start", "printer host cannot be started: " + why);
    }
    m_startFailing = true;
    ServiceStatus().PrinterHostProblem(why);
    return false;
}

bool TPrinterHostLibrary::EnsureHost()
{
    if (m_host && m_hostReady) {
        DropUnsoundHost();
        if (m_host) {
            return true;
        }
    }
    std::string why;
    THello hello = THello::Failed;
    if (m_host) {
        // Still loading since an earlier start: looked at, not waited for.
        hello = AwaitHello(std::chrono::steady_clock::now(), why);
        if (hello == THello::Pending && std::chrono::steady_clock::now() - m_startedAt < kSlowStartLimit) {
            return false;
        }
        if (hello == THello::Pending) {
            m_host->Kill();
            CollectHost();
            why = StillLoading();
        }
        if (hello != THello::Came) {
            StartFailed(why);
        }
    }
    if (hello != THello::Came) {
        why = LaunchHost();
        if (!why.empty()) {
            return StartFailed(why);
        }
        hello = AwaitHello(std::chrono::steady_clock::now() + m_settings.UntimedLimit, why);
        if (hello == THello::Pending) {
            // Calls fail at once until it is ready, instead of each
            // waiting for a start of its own.
            LoadingInBackground();
            return false;
        }
        if (hello == THello::Failed) {
            return StartFailed(why);
        }
    }
    if (!m_loaded || Abandoned()) {
        why = m_loadError;
        m_host->Kill();
        CollectHost();
        if (Abandoned()) {
            // Given up while it started: nothing more to say.
            return false;
        }
        if (!m_libraryReported) {
            // The first host, late, found no usable library: as when it
            // says so in time, the calls answer without one from now on.
            m_usable = false;
            ServiceStatus().PrinterHostProblem({});
            ServiceStatus().PrinterLibraryChosen(TPrinterLibraryKind::None, QString::fromStdString(why));
            return false;
        }
        return StartFailed(why);
    }
    // Whatever kept a host from running is over: a failed start, or one
    // that went on loading.
    ServiceStatus().PrinterHostProblem({});
    if (!m_libraryReported) {
        // The first host was ready only after the program had begun to
        // serve without it.
        ServiceStatus().PrinterLibraryChosen(Kind(), QString(), QString::fromStdString(LibraryPath()));
        m_libraryReported = true;
        m_loadError.clear();
        Log("打印机库已加载.");
    } else {
        ServiceJournal().Line(TJournalPriority::Info, "host restart",
            "printer host restarted (pid " + std::to_string(m_host->ProcessId()) + ")");
    }
    m_startFailing = false;
    // The new host opens the ports the driver holds open, as they were
    // opened; the driver keeps its handles.
    for (auto& [handle, port] : m_ports) {
        if (port.Closed) {
            continue;
        }
        TReply reply;
        if (Exchange(Request(TFunction::CommOpen, {port.Port, port.Baud}), m_settings.UntimedLimit, reply)
            != TOutcome::Replied) {
            // Gone again (logged); the call fails as if in that CommOpen.
            if (m_host) {
                m_host->Kill();
                CollectHost();
            }
            return false;
        }
        port.HostHandle = reply.Result;
    }
    return true;
}

TPrinterHostLibrary::TOutcome TPrinterHostLibrary::Exchange(
    const TRequest& request, std::chrono::milliseconds limit, TReply& reply)
{
    const std::string function = PrinterHost::FunctionName(request.Function);
    const bool written = m_host->Write(PrinterHost::EncodeRequest(request));
    if (!written && !Abandoned()) {
        // The host ended while it waited for a call: that call never
        // reached the library.
        m_host->Kill();
        const std::string end = CollectHost();
        Failed(TPrinterLibraryFailure::Crashed, "打印机库进程意外结束:" + end + ".", "空闲时 " + end);
        ServiceMetrics().PrinterHostRestarted(TPrinterHostRestart::Crash);
        return TOutcome::NotDelivered;
    }
    TPrinterHostProcess::TRead read = TPrinterHostProcess::TRead::Ended;
    bool garbled = false;
    if (written) {
        std::string payload;
        const bool framed = ReadFrame(std::chrono::steady_clock::now() + limit, payload, read);
        if (framed && PrinterHost::DecodeReply(payload, reply)) {
            return TOutcome::Replied;
        }
        // Every byte came, but not as a reply.
        garbled = read == TPrinterHostProcess::TRead::Done;
    }
    m_host->Kill();
    const std::string end = CollectHost();
    m_lastCallFault = Abandoned() || read == TPrinterHostProcess::TRead::TimedOut ? TPrinterFaultKind::LibraryHang
                                                                                   : TPrinterFaultKind::LibraryCrash;
    if (!Abandoned()) {
        ServiceMetrics().PrinterHostRestarted(m_lastCallFault == TPrinterFaultKind::LibraryHang
                ? TPrinterHostRestart::Hang
                : TPrinterHostRestart::Crash);
    }
    if (Abandoned()) {
        Failed(TPrinterLibraryFailure::Hung, "打印机库无响应:" + function + ",停止时放弃,已结束进程.",
            function + " 停止时放弃");
    } else if (read == TPrinterHostProcess::TRead::TimedOut) {
        const std::string ms = std::to_string(limit.count());
        Failed(TPrinterLibraryFailure::Hung, "打印机库无响应:" + function + "," + ms + "毫秒未返回,已结束进程.",
            function + " " + ms + "毫秒未返回");
    } else if (garbled) {
        Failed(TPrinterLibraryFailure::Crashed, "打印机库应答有误:" + function + ",已结束进程.",
            function + " 应答有误");
    } else {
        Failed(TPrinterLibraryFailure::Crashed, "打印机库崩溃:" + function + "," + end + ".", function + " " + end);
    }
    return TOutcome::Failed;
}

bool TPrinterHostLibrary::ReadFrame(
    std::chrono::steady_clock::time_point deadline, std::string& payload, TPrinterHostProcess::TRead& read)
{
    return PrinterHost::ReadFrame(
        [&](char* data, size_t size) {
            read = m_host->Read(data, size, deadline);
            return read == TPrinterHostProcess::TRead::Done;
        },
        payload);
}

std::optional<TReply> TPrinterHostLibrary::Call(
    TRequest request, std::chrono::milliseconds limit, std::optional<int32_t> driverHandle)
{
    // A second try only for a call the host never took (it had ended while
    // idle): that call never reached the library. One the library took and
    // then failed is never repeated, as a card may have moved.
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (!EnsureHost()) {
            return std::nullopt;
        }
        if (driverHandle) {
            request.Integers.front() = HostHandle(*driverHandle);
        }
        TReply reply;
        switch (Exchange(request, limit, reply)) {
        case TOutcome::Replied:
            return reply;
        case TOutcome::Failed:
            return std::nullopt;
        case TOutcome::NotDelivered:
            break;
        }
    }
    return std::nullopt;
}

int32_t TPrinterHostLibrary::HostHandle(int32_t handle) const
{
    const auto found = m_ports.find(handle);
    return found == m_ports.end() ? handle : found->second.HostHandle;
}

int32_t TPrinterHostLibrary::CommOpen(int32_t port, int32_t baudOrZero)
{
    std::scoped_lock call(m_callMutex);
    if (!m_usable) {
        return 0;
    }
    // Opening the port again is what ends a given-up state.
    DropAbandonedHost();
    {
        std::scoped_lock lock(m_stateMutex);
        m_abandoned = false;
    }
    if (!BeginCall()) {
        return 0;
    }
    const std::optional<TReply> reply
        = Call(Request(TFunction::CommOpen, {port, baudOrZero}), m_settings.UntimedLimit, std::nullopt);
    const int32_t hostHandle = reply ? reply->Result : 0;
    EndCall();
    const bool loading = !reply && m_host && !m_hostReady;
    if (hostHandle == 0 && !loading) {
        return 0;
    }
    if (loading) {
        // Opened by the host once it is ready, as a new host opens the
        // ports of the one before; until then calls on it fail at once.
        Log("打印机库仍在加载,串口在其就绪后打开.");
    }
    // The driver's handle is the host's, unless another open port already
    // has that number (from an earlier host).
    int32_t handle = hostHandle;
    while (m_ports.contains(handle) || handle == 0) {
        handle = m_nextOwnHandle++;
    }
    m_ports[handle] = TPort {port, baudOrZero, hostHandle, false};
    return handle;
}

int32_t TPrinterHostLibrary::CommClose(int32_t handle)
{
    std::scoped_lock call(m_callMutex);
    if (!m_usable) {
        return 0;
    }
    DropAbandonedHost();
    const auto found = m_ports.find(handle);
    // A host still loading the library has opened nothing yet.
    const bool hostOpens = m_host && m_hostReady;
    if (found != m_ports.end() && (found->second.Closed || !hostOpens)) {
        // Closed already, with the host that had it open, or never opened.
        m_ports.erase(found);
        return 1;
    }
    if (!hostOpens) {
        // Nothing is open that could be closed.
        return 0;
    }
    if (!BeginCall()) {
        return 0;
    }
    TReply reply;
    const TOutcome outcome = Exchange(
        Request(TFunction::CommClose, {found != m_ports.end() ? found->second.HostHandle : handle}),
        m_settings.UntimedLimit, reply);
    EndCall();
    if (outcome == TOutcome::Replied) {
        if ((reply.Result & 0xFF) != 0 && found != m_ports.end()) {
            m_ports.erase(found);
        }
        return reply.Result;
    }
    // The host has gone, and the port with it.
    if (found != m_ports.end()) {
        m_ports.erase(found);
        return 1;
    }
    return 0;
}

int32_t TPrinterHostLibrary::CardCall(TRequest request, std::string* output)
{
    std::scoped_lock call(m_callMutex);
    if (!m_usable) {
        m_lastCallFault = TPrinterFaultKind::NoLibrary;
        return kNoPortHandle;
    }
    if (!BeginCall()) {
        // Given up with the port until it is opened again.
        m_lastCallFault = TPrinterFaultKind::PortClosed;
        return kNoPortHandle;
    }
    // No host to be had stands in as no library does.
    m_lastCallFault = TPrinterFaultKind::NoLibrary;
    const int32_t handle = request.Integers.front();
    const auto limit = std::chrono::milliseconds(std::max(request.Integers.back(), 0)) + m_settings.Grace;
    std::optional<TReply> reply = Call(std::move(request), limit, handle);
    EndCall();
    if (!reply) {
        return kNoReply;
    }
    m_lastCallFault = TPrinterFaultKind::Printer;
    if (output != nullptr) {
        *output = std::move(reply->Output);
    }
    return reply->Result;
}

int32_t TPrinterHostLibrary::Reset(int32_t handle, int32_t timeout)
{
    return CardCall(Request(TFunction::Reset, {handle, timeout}));
}

int32_t TPrinterHostLibrary::CardInOver(int32_t handle, int32_t timeout)
{
    return CardCall(Request(TFunction::CardInOver, {handle, timeout}));
}

int32_t TPrinterHostLibrary::Dischange(int32_t handle, int32_t mode, int32_t timeout)
{
    return CardCall(Request(TFunction::Dischange, {handle, mode, timeout}));
}

int32_t TPrinterHostLibrary::RfidCardRequestAndWriteData(
    int32_t handle, int32_t block, int32_t mode, const char* key, const char* data, int32_t timeout)
{
    return CardCall(
        Request(TFunction::RfidCardRequestAndWriteData, {handle, block, mode, timeout}, {Text(key), Text(data)}));
}

int32_t TPrinterHostLibrary::RfidCardRequestAndReadData(
    int32_t handle, int32_t block, int32_t mode, const char* key, char* buffer, int32_t timeout)
{
    TRequest request = Request(TFunction::RfidCardRequestAndReadData, {handle, block, mode, timeout}, {Text(key)});
    request.OutputBytes = PrinterHost::MaxOutputBytes;
    std::string output;
    const int32_t status = CardCall(std::move(request), &output);
    if (buffer != nullptr && !output.empty()) {
        std::memcpy(buffer, output.data(), std::min<size_t>(output.size(), PrinterHost::MaxOutputBytes));
    }
    return status;
}

int32_t TPrinterHostLibrary::PrintBufferClear(int32_t handle, int32_t timeout)
{
    return CardCall(Request(TFunction::PrintBufferClear, {handle, timeout}));
}

int32_t TPrinterHostLibrary::PrintCharacterDataSetting(
    int32_t handle, int32_t mode, int32_t x, int32_t y, const char* text, int32_t length, int32_t timeout)
{
    // The library reads length bytes of text; the host gives it those (a
    // zero byte where text ends sooner) and a zero byte after them.
    return CardCall(Request(TFunction::PrintCharacterDataSetting, {handle, mode, x, y, length, timeout},
        {Text(text, static_cast<size_t>(std::max(length, 0)))}));
}

int32_t TPrinterHostLibrary::ErasePrintDischarge(int32_t handle, int32_t a, int32_t b, int32_t c, int32_t timeout)
{
    return CardCall(Request(TFunction::ErasePrintDischarge, {handle, a, b, c, timeout}));
}
