#include "base/PosixSocket.h"
#include "SoakProgram.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <thread>

namespace {

void WriteText(const std::string& path, const std::string& text)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    if (!out) {
        throw std::runtime_error("cannot write " + path);
    }
}

bool Accepts(uint16_t port)
{
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return false;
    }
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const bool connected = connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    close(fd);
    return connected;
}

} // namespace

TSoakProgram::TSoakProgram(
    const std::string& binDir, const std::string& runDir, uint16_t port, int delayMs, const std::string& optionLines)
    : m_runDir(runDir)
    , m_port(port)
{
    namespace fs = std::filesystem;
    for (const char* file : {"member-interface", "member-printer-host", "libRCPV11_VCDLL.so"}) {
        fs::copy_file(fs::path(binDir) / file, fs::path(runDir) / file, fs::copy_options::overwrite_existing);
    }
    WriteText(runDir + "/CardPrinter.ini",
        "[Card]\r\nPresent=1\r\nBlock1=00000000\r\n[Faults]\r\nDelayMs=" + std::to_string(delayMs) + "\r\n");
    Start(optionLines);
}

TSoakProgram::TSoakProgram(const std::string& runDir, uint16_t port)
    : m_runDir(runDir)
    , m_port(port)
{
    Start({});
}

void TSoakProgram::Start(const std::string& optionLines)
{
    WriteText(m_runDir + "/Option.ini",
        "[SysOption]\r\nMemberPortNo=" + std::to_string(m_port) + "\r\nWriteLog=1\r\n" + optionLines);
    const std::string program = m_runDir + "/member-interface";
    const std::string out = m_runDir + "/stdout.txt";
    const std::string err = m_runDir + "/stderr.txt";
    m_pid = fork();
    if (m_pid == 0) {
        const int outFd = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int errFd = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(outFd, STDOUT_FILENO);
        dup2(errFd, STDERR_FILENO);
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
        unsetenv("DISPLAY");
        unsetenv("WAYLAND_DISPLAY");
        execl(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    if (m_pid < 0) {
        throw std::runtime_error("cannot start " + program);
    }
}

TSoakProgram::~TSoakProgram()
{
    if (m_pid > 0) {
        kill(m_pid, SIGKILL);
        waitpid(m_pid, nullptr, 0);
    }
}

bool TSoakProgram::WaitUntilListening(std::chrono::milliseconds timeout) const
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < deadline) {
        if (Accepts(m_port)) {
            return true;
        }
        if (waitpid(m_pid, nullptr, WNOHANG) == m_pid) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
}

int TSoakProgram::Terminate(std::chrono::milliseconds timeout)
{
    if (m_pid <= 0) {
        return -1;
    }
    kill(m_pid, SIGTERM);
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    int status = 0;
    while (std::chrono::steady_clock::now() < deadline) {
        if (waitpid(m_pid, &status, WNOHANG) == m_pid) {
            m_pid = -1;
            return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return -1;
}

std::string TSoakProgram::LogPath() const
{
    for (const auto& entry : std::filesystem::directory_iterator(m_runDir)) {
        if (entry.path().extension() == ".LOG") {
            return entry.path().string();
        }
    }
    return {};
}

uint16_t FreePort()
{
    TFileDescriptor probe = TcpSocket();
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    bind(probe.get(), reinterpret_cast<sockaddr*>(&address), sizeof address);
    getsockname(probe.get(), reinterpret_cast<sockaddr*>(&address), &length);
    return ntohs(address.sin_port);
}
