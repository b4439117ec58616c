#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <string>

// The built program with the printer simulator, run in a folder of its own
// so its Option.ini, log and CardPrinter.ini belong to the soak alone. A
// program still running when the object goes is killed.
class TSoakProgram {
public:
    // Copies member-interface, its printer host and the simulator from
    // binDir to runDir, sets the port and the simulator's delay per call,
    // and starts the program without a display. `optionLines` go into
    // Option.ini after the port (further sections, such as HttpOption).
    TSoakProgram(const std::string& binDir, const std::string& runDir, uint16_t port, int delayMs,
        const std::string& optionLines = {});
    // Starts the program runDir already holds, with whatever printer
    // library is there (the Windows DLL, say); only Option.ini is written.
    TSoakProgram(const std::string& runDir, uint16_t port);
    ~TSoakProgram();
    TSoakProgram(const TSoakProgram&) = delete;
    TSoakProgram& operator=(const TSoakProgram&) = delete;

    pid_t Pid() const { return m_pid; }
    bool WaitUntilListening(std::chrono::milliseconds timeout) const;
    // Sends SIGTERM and waits; the exit code, or -1 when the program did
    // not exit normally within the time.
    int Terminate(std::chrono::milliseconds timeout);
    // The run's one log file, or empty when there is none.
    std::string LogPath() const;

private:
    void Start(const std::string& optionLines);

    std::string m_runDir;
    uint16_t m_port;
    pid_t m_pid = -1;
};

// A TCP port on 127.0.0.1 that nothing listens on right now.
uint16_t FreePort();
