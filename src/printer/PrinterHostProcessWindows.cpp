#include "printer/PrinterHostProcess.h"

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>

namespace {

// What the process ends with when it is killed.
constexpr UINT kKilledExitCode = 0xDEAD;
constexpr DWORD kPipeBytes = 64 * 1024;

HANDLE Handle(intptr_t value)
{
    return reinterpret_cast<HANDLE>(value);
}

std::string LastError(const char* what)
{
    return std::string(what) + " (error " + std::to_string(GetLastError()) + ")";
}

// The standard error handle, inheritable, for the host; a handle to NUL
// when the program has none.
HANDLE InheritableStandardError()
{
    const HANDLE self = GetCurrentProcess();
    HANDLE copy = nullptr;
    const HANDLE error = GetStdHandle(STD_ERROR_HANDLE);
    if (error != nullptr && error != INVALID_HANDLE_VALUE
        && DuplicateHandle(self, error, self, &copy, 0, TRUE, DUPLICATE_SAME_ACCESS)) {
        return copy;
    }
    SECURITY_ATTRIBUTES inherit {sizeof inherit, nullptr, TRUE};
    return CreateFileA("NUL", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, OPEN_EXISTING, 0, nullptr);
}

// A command line the C runtime splits back into these arguments.
std::string Quoted(const std::string& argument)
{
    std::string quoted = "\"";
    size_t backslashes = 0;
    for (const char c : argument) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        quoted.append(c == '"' ? 2 * backslashes + 1 : backslashes, '\\');
        backslashes = 0;
        quoted.push_back(c);
    }
    quoted.append(2 * backslashes, '\\');
    return quoted + "\"";
}

// Waits for an overlapped operation on the pipe to finish, for the process
// to end, or for the deadline; gives the bytes moved, or -1 when the
// operation did not finish (it is cancelled then) or failed.
long Complete(HANDLE pipe, OVERLAPPED& overlapped, HANDLE process, DWORD waitMs, bool& timedOut)
{
    timedOut = false;
    DWORD moved = 0;
    const HANDLE waitFor[2] = {overlapped.hEvent, process};
    const DWORD woken = WaitForMultipleObjects(2, waitFor, FALSE, waitMs);
    if (woken != WAIT_OBJECT_0) {
        CancelIoEx(pipe, &overlapped);
        timedOut = woken == WAIT_TIMEOUT;
    }
    // After a cancel this waits for the operation to let go of the buffer;
    // one that finished first still counts.
    if (!GetOverlappedResult(pipe, &overlapped, &moved, TRUE)) {
        return -1;
    }
    timedOut = false;
    return static_cast<long>(moved);
}

// A job that ends every process in it when its last handle closes: the
// host and whatever the library starts end together, even when the program
// itself ends without a word. 0 when the system refuses one.
HANDLE KillOnCloseJob()
{
    const HANDLE job = CreateJobObjectA(nullptr, nullptr);
    if (job == nullptr) {
        return nullptr;
    }
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits {};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    if (!SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof limits)) {
        CloseHandle(job);
        return nullptr;
    }
    return job;
}

} // namespace

namespace {

// This process's environment with overrides added, replacing what they name
// (Windows compares names without case), as CreateProcess takes it; empty
// when there is nothing to add, which means this process's own.
std::string EnvironmentBlock(const std::vector<std::string>& overrides)
{
    if (overrides.empty()) {
        return {};
    }
    const auto overridden = [&overrides](std::string_view entry) {
        const std::string_view name = entry.substr(0, entry.find('=', 1) + 1);
        return std::any_of(overrides.begin(), overrides.end(), [name](const std::string& o) {
            return o.size() >= name.size() && _strnicmp(o.data(), name.data(), name.size()) == 0;
        });
    };
    std::string block;
    for (char** entry = _environ; entry != nullptr && *entry != nullptr; ++entry) {
        if (!overridden(*entry)) {
            block.append(*entry).push_back('\0');
        }
    }
    for (const std::string& entry : overrides) {
        block.append(entry).push_back('\0');
    }
    block.push_back('\0');
    return block;
}

} // namespace

TPrinterHostProcess::~TPrinterHostProcess()
{
    if (m_process != 0) {
        Kill();
        Wait();
    }
}

std::string TPrinterHostProcess::Start(
    const std::string& program, const std::vector<std::string>& arguments, const std::vector<std::string>& environment)
{
    // A named pipe, so the program's end can wait with a time limit
    // (overlapped I/O); anonymous pipes cannot.
    static std::atomic<unsigned> serial {0};
    char name[96];
    std::snprintf(name, sizeof name, "\\\\.\\pipe\\member-printer-host-%lu-%u",
        static_cast<unsigned long>(GetCurrentProcessId()), serial.fetch_add(1));
    const HANDLE pipe = CreateNamedPipeA(name,
        PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED | FILE_FLAG_FIRST_PIPE_INSTANCE,
        PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT | PIPE_REJECT_REMOTE_CLIENTS, 1, kPipeBytes, kPipeBytes, 0,
        nullptr);
    if (pipe == INVALID_HANDLE_VALUE) {
        return LastError("cannot make a pipe");
    }
    SECURITY_ATTRIBUTES inherit {sizeof inherit, nullptr, TRUE};
    const HANDLE input = CreateFileA(name, GENERIC_READ | GENERIC_WRITE, 0, &inherit, OPEN_EXISTING, 0, nullptr);
    if (input == INVALID_HANDLE_VALUE) {
        const std::string why = LastError("cannot open the pipe");
        CloseHandle(pipe);
        return why;
    }
    // Standard input and output as two handles of their own, so the host's
    // C runtime can close one without the other.
    HANDLE output = nullptr;
    const HANDLE self = GetCurrentProcess();
    DuplicateHandle(self, input, self, &output, 0, TRUE, DUPLICATE_SAME_ACCESS);
    const HANDLE error = InheritableStandardError();
    const HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);

    STARTUPINFOEXA startup {};
    startup.StartupInfo.cb = sizeof startup;
    startup.StartupInfo.dwFlags = STARTF_USESTDHANDLES;
    startup.StartupInfo.hStdInput = input;
    startup.StartupInfo.hStdOutput = output;
    startup.StartupInfo.hStdError = error;
    // Only these three handles go to the host, whatever else in this
    // process is inheritable at the moment.
    HANDLE inherited[3] = {input, output, error};
    SIZE_T listBytes = 0;
    InitializeProcThreadAttributeList(nullptr, 1, 0, &listBytes);
    std::vector<char> list(listBytes);
    auto* attributes = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(list.data());
    // Suspended until it is in its job, so nothing it starts escapes it.
    DWORD flags = CREATE_NO_WINDOW | CREATE_SUSPENDED;
    if (listBytes > 0 && InitializeProcThreadAttributeList(attributes, 1, 0, &listBytes)
        && UpdateProcThreadAttribute(attributes, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, inherited, sizeof inherited,
            nullptr, nullptr)) {
        startup.lpAttributeList = attributes;
        flags |= EXTENDED_STARTUPINFO_PRESENT;
    }

    std::string commandLine = Quoted(program);
    for (const std::string& argument : arguments) {
        commandLine += " " + Quoted(argument);
    }
    const std::string block = EnvironmentBlock(environment);
    PROCESS_INFORMATION started {};
    const BOOL created = CreateProcessA(program.c_str(), commandLine.data(), nullptr, nullptr, TRUE, flags,
        block.empty() ? nullptr : const_cast<char*>(block.data()), nullptr, &startup.StartupInfo, &started);
    const std::string why = created ? std::string() : LastError(("cannot start " + program).c_str());
    if (startup.lpAttributeList != nullptr) {
        DeleteProcThreadAttributeList(attributes);
    }
    CloseHandle(input);
    CloseHandle(output);
    CloseHandle(error);
    if (!created) {
        CloseHandle(event);
        CloseHandle(pipe);
        return why;
    }
    HANDLE job = KillOnCloseJob();
    if (job != nullptr && !AssignProcessToJobObject(job, started.hProcess)) {
        CloseHandle(job);
        job = nullptr;
    }
    ResumeThread(started.hThread);
    CloseHandle(started.hThread);
    std::scoped_lock lock(m_mutex);
    m_watch = reinterpret_cast<intptr_t>(job);
    m_process = reinterpret_cast<intptr_t>(started.hProcess);
    m_processId = started.dwProcessId;
    m_pipe = reinterpret_cast<intptr_t>(pipe);
    m_event = reinterpret_cast<intptr_t>(event);
    return {};
}

bool TPrinterHostProcess::Write(std::string_view bytes)
{
    while (!bytes.empty()) {
        OVERLAPPED overlapped {};
        overlapped.hEvent = Handle(m_event);
        ResetEvent(overlapped.hEvent);
        if (!WriteFile(Handle(m_pipe), bytes.data(), static_cast<DWORD>(bytes.size()), nullptr, &overlapped)
            && GetLastError() != ERROR_IO_PENDING) {
            return false;
        }
        bool timedOut = false;
        const long n = Complete(Handle(m_pipe), overlapped, Handle(m_process), INFINITE, timedOut);
        if (n <= 0) {
            return false;
        }
        bytes.remove_prefix(static_cast<size_t>(n));
    }
    return true;
}

TPrinterHostProcess::TRead TPrinterHostProcess::Read(char* data, size_t size, TDeadline deadline)
{
    using namespace std::chrono;
    while (size > 0) {
        const auto left = ceil<milliseconds>(deadline - steady_clock::now()).count();
        if (left <= 0) {
            return TRead::TimedOut;
        }
        OVERLAPPED overlapped {};
        overlapped.hEvent = Handle(m_event);
        ResetEvent(overlapped.hEvent);
        if (!ReadFile(Handle(m_pipe), data, static_cast<DWORD>(size), nullptr, &overlapped)
            && GetLastError() != ERROR_IO_PENDING) {
            return TRead::Ended;
        }
        bool timedOut = false;
        const long n = Complete(Handle(m_pipe), overlapped, Handle(m_process), static_cast<DWORD>(left), timedOut);
        if (timedOut) {
            return TRead::TimedOut;
        }
        if (n <= 0) {
            return TRead::Ended;
        }
        data += n;
        size -= static_cast<size_t>(n);
    }
    return TRead::Done;
}

TPrinterHostProcess::TIdle TPrinterHostProcess::Idle()
{
    DWORD available = 0;
    if (!PeekNamedPipe(Handle(m_pipe), nullptr, 0, nullptr, &available, nullptr)) {
        return TIdle::Ended;
    }
    if (available > 0) {
        return TIdle::Bytes;
    }
    return WaitForSingleObject(Handle(m_process), 0) == WAIT_OBJECT_0 ? TIdle::Ended : TIdle::Quiet;
}

void TPrinterHostProcess::Kill()
{
    std::scoped_lock lock(m_mutex);
    if (m_process != 0) {
        if (m_watch > 0) {
            TerminateJobObject(Handle(m_watch), kKilledExitCode);
        }
        TerminateProcess(Handle(m_process), kKilledExitCode);
    }
}

TPrinterHostProcess::TExit TPrinterHostProcess::Wait()
{
    TExit exit;
    if (m_process == 0) {
        exit.Unknown = true;
        return exit;
    }
    // The handle stays open until it is closed below, under the lock.
    WaitForSingleObject(Handle(m_process), INFINITE);
    {
        std::scoped_lock lock(m_mutex);
        DWORD code = 0;
        if (GetExitCodeProcess(Handle(m_process), &code)) {
            exit.Code = code;
        } else {
            exit.Unknown = true;
        }
        CloseHandle(Handle(m_process));
        m_process = 0;
        // Ends whatever the host left running.
        if (m_watch > 0) {
            CloseHandle(Handle(m_watch));
        }
        m_watch = -1;
    }
    CloseHandle(Handle(m_pipe));
    CloseHandle(Handle(m_event));
    m_pipe = -1;
    m_event = 0;
    return exit;
}

TPrinterHostProcess::TExit TPrinterHostProcess::Finish(std::chrono::milliseconds grace)
{
    if (m_process != 0) {
        // The host's reads fail from now on, and it ends.
        DisconnectNamedPipe(Handle(m_pipe));
        if (WaitForSingleObject(Handle(m_process), static_cast<DWORD>(grace.count())) != WAIT_OBJECT_0) {
            Kill();
        }
    }
    return Wait();
}

std::string TPrinterHostProcess::Describe(const TExit& exit)
{
    if (exit.Unknown) {
        return "结束方式不明";
    }
    const auto code = static_cast<uint32_t>(exit.Code);
    if (code >= 0xC0000000u) {
        char text[32];
        std::snprintf(text, sizeof text, "异常0x%08X", static_cast<unsigned>(code));
        return text;
    }
    return "退出码" + std::to_string(code);
}
