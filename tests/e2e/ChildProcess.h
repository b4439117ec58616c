#pragma once

#include <QProcess>

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

    bool Started() const { return m_started; }

    // Asks the program to end as the operating system would (SIGTERM; the
    // console's Ctrl+C on Windows) and waits up to timeoutMs for the exit;
    // gives the exit code, or -1 when the child did not exit normally in time.
    int Terminate(int timeoutMs = 10000);

private:
    QProcess m_process;
    bool m_started = false;
};

// Waits until something accepts connections on 127.0.0.1:port.
bool WaitForPort(uint16_t port, int timeoutMs = 10000);
