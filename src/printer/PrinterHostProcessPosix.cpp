#include "printer/PrinterHostProcess.h"

#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <string.h>
#include <sys/syscall.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string_view>

extern char** environ;

namespace {

// This process's environment with overrides added, replacing what they name.
std::vector<std::string> ChildEnvironment(const std::vector<std::string>& overrides)
{
    const auto overridden = [&overrides](std::string_view entry) {
        const std::string_view name = entry.substr(0, entry.find('=') + 1);
        return std::any_of(overrides.begin(), overrides.end(),
            [name](const std::string& o) { return std::string_view(o).substr(0, name.size()) == name; });
    };
    std::vector<std::string> entries;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        if (!overridden(*entry)) {
            entries.emplace_back(*entry);
        }
    }
    entries.insert(entries.end(), overrides.begin(), overrides.end());
    return entries;
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
    // One socket for both directions: a write to a host that has gone then
    // fails (MSG_NOSIGNAL) instead of raising SIGPIPE in the program.
    int ends[2];
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0) {
        return std::string("cannot make a pipe: ") + std::strerror(errno);
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, ends[1], STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, ends[1], STDOUT_FILENO);
    // The program blocks its stop signals in every thread and ignores
    // SIGPIPE; the host starts with no signal blocked and those at their
    // defaults.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none;
    sigemptyset(&none);
    sigset_t ignoredHere;
    sigemptyset(&ignoredHere);
    for (const int signal : {SIGPIPE, SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGCHLD}) {
        sigaddset(&ignoredHere, signal);
    }
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &ignoredHere);
    // A group of its own: whatever the library starts can be ended with
    // the host, and a terminal's Ctrl-C reaches the program alone.
    posix_spawnattr_setpgroup(&attributes, 0);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETPGROUP);

    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& argument : arguments) {
        argv.push_back(const_cast<char*>(argument.c_str()));
    }
    argv.push_back(nullptr);
    std::vector<std::string> entries = ChildEnvironment(environment);
    std::vector<char*> envp;
    for (std::string& entry : entries) {
        envp.push_back(entry.data());
    }
    envp.push_back(nullptr);
    pid_t pid = 0;
    const int error = posix_spawn(&pid, program.c_str(), &actions, &attributes, argv.data(), envp.data());
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    close(ends[1]);
    if (error != 0) {
        close(ends[0]);
        return "cannot start " + program + ": " + std::strerror(error);
    }
    std::scoped_lock lock(m_mutex);
    m_process = pid;
    m_processId = pid;
    m_pipe = ends[0];
    // A child the library forked may hold the pipe open after the host has
    // crashed; the host's own end is what counts. The pid is ours until it
    // is collected, so the pidfd names this process.
    // (glibc 2.36's <sys/pidfd.h> lacks the C linkage its function needs.)
    m_watch = syscall(SYS_pidfd_open, pid, 0);
    return {};
}

bool TPrinterHostProcess::Write(std::string_view bytes)
{
    while (!bytes.empty()) {
        const ssize_t n = send(static_cast<int>(m_pipe), bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (n < 0 && errno != EINTR) {
            return false;
        }
        if (n > 0) {
            bytes.remove_prefix(static_cast<size_t>(n));
        }
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
        pollfd wait[2] = {{static_cast<int>(m_pipe), POLLIN, 0}, {static_cast<int>(m_watch), POLLIN, 0}};
        const int ready = poll(wait, m_watch >= 0 ? 2 : 1, static_cast<int>(std::min<int64_t>(left, 60000)));
        if (ready <= 0) {
            if (ready < 0 && errno != EINTR) {
                return TRead::Ended;
            }
            continue;
        }
        // What the host wrote before it ended is still read first.
        if (wait[0].revents == 0) {
            return TRead::Ended;
        }
        const ssize_t n = recv(static_cast<int>(m_pipe), data, size, 0);
        if (n == 0) {
            return TRead::Ended;
        }
        if (n < 0) {
            if (errno == EINTR || errno == EAGAIN) {
                continue;
            }
            return TRead::Ended;
        }
        data += n;
        size -= static_cast<size_t>(n);
    }
    return TRead::Done;
}

TPrinterHostProcess::TIdle TPrinterHostProcess::Idle()
{
    pollfd look[2] = {{static_cast<int>(m_pipe), POLLIN, 0}, {static_cast<int>(m_watch), POLLIN, 0}};
    if (poll(look, m_watch >= 0 ? 2 : 1, 0) < 0) {
        return TIdle::Ended;
    }
    if (look[0].revents != 0) {
        char byte = 0;
        return recv(static_cast<int>(m_pipe), &byte, 1, MSG_PEEK | MSG_DONTWAIT) > 0 ? TIdle::Bytes : TIdle::Ended;
    }
    return look[1].revents != 0 ? TIdle::Ended : TIdle::Quiet;
}

void TPrinterHostProcess::Kill()
{
    // The process is collected only under the lock, so its pid cannot have
    // passed to another process here.
    std::scoped_lock lock(m_mutex);
    if (m_process != 0) {
        kill(-static_cast<pid_t>(m_process), SIGKILL);
    }
}

TPrinterHostProcess::TExit TPrinterHostProcess::Wait()
{
    TExit exit;
    const auto pid = static_cast<pid_t>(m_process);
    if (pid == 0) {
        exit.Unknown = true;
        return exit;
    }
    // Waits for the end without collecting it, so Kill stays safe meanwhile.
    siginfo_t info {};
    int waited = 0;
    do {
        waited = waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOWAIT);
    } while (waited != 0 && errno == EINTR);
    {
        std::scoped_lock lock(m_mutex);
        // What the host started ends with it. Its pid, and so the group's
        // id, stays taken until it is collected just below.
        kill(-pid, SIGKILL);
        int status = 0;
        pid_t collected = 0;
        do {
            collected = waitpid(pid, &status, 0);
        } while (collected < 0 && errno == EINTR);
        if (collected == pid && WIFSIGNALED(status)) {
            exit.Signalled = true;
            exit.Code = WTERMSIG(status);
        } else if (collected == pid && WIFEXITED(status)) {
            exit.Code = WEXITSTATUS(status);
        } else {
            exit.Unknown = true;
        }
        m_process = 0;
    }
    close(static_cast<int>(m_pipe));
    m_pipe = -1;
    if (m_watch >= 0) {
        close(static_cast<int>(m_watch));
        m_watch = -1;
    }
    return exit;
}

TPrinterHostProcess::TExit TPrinterHostProcess::Finish(std::chrono::milliseconds grace)
{
    if (m_process != 0) {
        shutdown(static_cast<int>(m_pipe), SHUT_WR);
        // Whatever still comes is not wanted; the pipe's end is the host's.
        char ignored[256];
        const TDeadline deadline = std::chrono::steady_clock::now() + grace;
        while (Read(ignored, sizeof ignored, deadline) == TRead::Done) {
        }
        Kill();
    }
    return Wait();
}

std::string TPrinterHostProcess::Describe(const TExit& exit)
{
    if (exit.Unknown) {
        return "结束方式不明";
    }
    if (exit.Signalled) {
        const char* name = sigabbrev_np(static_cast<int>(exit.Code));
        return "信号" + std::to_string(exit.Code) + (name != nullptr ? std::string("(SIG") + name + ")" : "");
    }
    return "退出码" + std::to_string(exit.Code);
}
