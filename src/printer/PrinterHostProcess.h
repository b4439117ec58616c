#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

// The printer host's process as the program sees it: started with its
// standard input and output on a pipe to this process, its standard error
// this process's. Whatever the host starts belongs to it (a process group on
// POSIX, a job object on Windows) and ends with it: a library that forks a
// helper cannot keep the pipe open, or outlive the host, once the host has
// ended. One thread at a time starts it, talks to it and waits for its end;
// Kill may come from any thread at any moment.
class TPrinterHostProcess {
public:
    using TDeadline = std::chrono::steady_clock::time_point;

    enum class TRead {
        Done,
        // The pipe ended, or the process itself has ended.
        Ended,
        TimedOut,
    };

    // The pipe between two calls, looked at without waiting.
    enum class TIdle {
        // Nothing has come, and the process runs.
        Quiet,
        // Bytes nobody asked for are waiting.
        Bytes,
        // The pipe ended, or the process itself has ended.
        Ended,
    };

    // How the process ended.
    struct TExit {
        // POSIX: ended by the signal Code; otherwise Code is the exit code
        // (on Windows, an exception's code for a crash).
        bool Signalled = false;
        int64_t Code = 0;
        // The end was not seen (it had been collected elsewhere).
        bool Unknown = false;
    };

    TPrinterHostProcess() = default;
    // Kills and collects a process still there.
    ~TPrinterHostProcess();
    TPrinterHostProcess(const TPrinterHostProcess&) = delete;
    TPrinterHostProcess& operator=(const TPrinterHostProcess&) = delete;

    // Empty when the process runs, else why it could not be started. The
    // process gets this process's environment with the "NAME=value"
    // entries of environment added, replacing those of the same name.
    std::string Start(const std::string& program, const std::vector<std::string>& arguments,
        const std::vector<std::string>& environment = {});

    // False when the pipe is broken: the process has ended.
    bool Write(std::string_view bytes);
    // Reads exactly size bytes unless the pipe ends, the process ends or the
    // deadline passes.
    TRead Read(char* data, size_t size, TDeadline deadline);
    TIdle Idle();

    // Ends the process and whatever it started at once (SIGKILL to its
    // group, TerminateJobObject). From any thread; nothing happens before
    // Start or after Wait.
    void Kill();
    // Waits for the process to end, collects it and closes the pipe. Call
    // it after Kill, or once the pipe has ended.
    TExit Wait();
    // Ends the process's input, so it ends by itself; kills it when it has
    // not ended within grace. Then as Wait.
    TExit Finish(std::chrono::milliseconds grace);

    int64_t ProcessId() const { return m_processId; }

    // How a process ended, in words: "信号11(SIGSEGV)", "退出码3", "异常0xC0000005".
    static std::string Describe(const TExit& exit);

private:
    // Guards m_process against Kill while Wait collects it.
    std::mutex m_mutex;
    // POSIX: the pid, 0 when none. Windows: the process handle, 0 when none.
    intptr_t m_process = 0;
    int64_t m_processId = 0;
    // POSIX: the socket; Windows: the pipe handle. -1 when none.
    intptr_t m_pipe = -1;
    // Windows: the event for overlapped reads and writes.
    intptr_t m_event = 0;
    // POSIX: a pidfd that turns readable when the process ends, -1 when the
    // kernel has none. Windows: the job object, none when not above 0.
    intptr_t m_watch = -1;
};
