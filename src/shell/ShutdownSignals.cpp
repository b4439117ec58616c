#include "shell/ShutdownSignals.h"

#include <QSocketNotifier>

#include <pthread.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <system_error>

namespace {

const sigset_t& ShutdownSet()
{
    static const sigset_t set = [] {
        sigset_t s;
        sigemptyset(&s);
        sigaddset(&s, SIGINT);
        sigaddset(&s, SIGTERM);
        return s;
    }();
    return set;
}

// A descriptor that becomes readable when a shut-down signal arrives.
TFileDescriptor ShutdownSignalDescriptor()
{
    TFileDescriptor fd(signalfd(-1, &ShutdownSet(), SFD_NONBLOCK | SFD_CLOEXEC));
    if (!fd.Valid()) {
        throw std::system_error(errno, std::generic_category(), "signalfd");
    }
    return fd;
}

} // namespace

void BlockShutdownSignals()
{
    pthread_sigmask(SIG_BLOCK, &ShutdownSet(), nullptr);
}

TShutdownSignals::TShutdownSignals(QObject* parent)
    : QObject(parent)
    , m_signalFd(ShutdownSignalDescriptor())
    , m_notifier(std::make_unique<QSocketNotifier>(m_signalFd.get(), QSocketNotifier::Read))
{
    connect(m_notifier.get(), &QSocketNotifier::activated, this, &TShutdownSignals::ReadSignals);
}

TShutdownSignals::~TShutdownSignals() = default;

void TShutdownSignals::ReadSignals()
{
    signalfd_siginfo info {};
    bool received = false;
    while (read(m_signalFd.get(), &info, sizeof info) == static_cast<ssize_t>(sizeof info)) {
        received = true;
    }
    if (received) {
        emit Received();
    }
}
