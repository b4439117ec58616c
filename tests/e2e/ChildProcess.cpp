#include "ChildProcess.h"

#include "base/FileDescriptor.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

extern char** environ;

namespace {

class TSpawnActions {
public:
    TSpawnActions() { posix_spawn_file_actions_init(&m_actions); }
    ~TSpawnActions() { posix_spawn_file_actions_destroy(&m_actions); }
    TSpawnActions(const TSpawnActions&) = delete;
    TSpawnActions& operator=(const TSpawnActions&) = delete;
    posix_spawn_file_actions_t* get() { return &m_actions; }

private:
    posix_spawn_file_actions_t m_actions;
};

} // namespace

TChildProcess::TChildProcess(const std::string& program, const std::string& stdoutPath, const std::string& stderrPath)
{
    TSpawnActions actions;
    posix_spawn_file_actions_addopen(actions.get(), STDOUT_FILENO, stdoutPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(actions.get(), STDERR_FILENO, stderrPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    std::string arg0 = program;
    char* argv[] = {arg0.data(), nullptr};
    pid_t pid = -1;
    if (posix_spawn(&pid, program.c_str(), actions.get(), nullptr, argv, environ) == 0) {
        m_pid = pid;
    }
}

TChildProcess::~TChildProcess()
{
    if (m_pid > 0) {
        kill(m_pid, SIGKILL);
        waitpid(m_pid, nullptr, 0);
    }
}

int TChildProcess::Terminate(int timeoutMs)
{
    if (m_pid <= 0) {
        return -1;
    }
    kill(m_pid, SIGTERM);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < deadline) {
        int status = 0;
        if (waitpid(m_pid, &status, WNOHANG) == m_pid) {
            m_pid = -1;
            return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return -1;
}

bool WaitForPort(uint16_t port, int timeoutMs)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < deadline) {
        TFileDescriptor s = TcpSocket();
        sockaddr_in addr {};
        addr.sin_family = AF_INET;
        addr.sin_port = htons(port);
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (connect(s.get(), reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

uint16_t FreePort()
{
    TFileDescriptor s = TcpSocket();
    sockaddr_in addr {};
    addr.sin_family = AF_INET;
    addr.sin_port = 0;
    addr.sin_addr.s_addr = htonl(INADDR_ANY);
    socklen_t size = sizeof addr;
    if (bind(s.get(), reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0
        || getsockname(s.get(), reinterpret_cast<sockaddr*>(&addr), &size) != 0) {
        return 0;
    }
    return ntohs(addr.sin_port);
}
