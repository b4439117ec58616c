#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>

// A program started for a test, with its output in files. A child still
// running when the object goes is killed, so no test leaves one behind.
class TChildProcess {
public:
    // Starts program in its own folder; stdout and stderr go to the files.
    TChildProcess(const std::string& program, const std::string& stdoutPath, const std::string& stderrPath);
    ~TChildProcess();
    TChildProcess(const TChildProcess&) = delete;
    TChildProcess& operator=(const TChildProcess&) = delete;

    bool Started() const { return m_pid > 0; }

    // Sends SIGTERM and waits up to timeoutMs for the exit; gives the exit
    // code, or -1 when the child did not exit normally in time.
    int Terminate(int timeoutMs = 10000);

private:
    pid_t m_pid = -1;
};

// Waits until something accepts connections on 127.0.0.1:port.
bool WaitForPort(uint16_t port, int timeoutMs = 10000);

// A TCP port nobody listens on at the moment.
uint16_t FreePort();
