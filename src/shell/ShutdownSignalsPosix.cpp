#include "shell/ShutdownSignals.h"

#include "base/FileDescriptor.h"

#include <QSocketNotifier>

#include <pthread.h>
#include <string.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <string>
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

// Read and written on the user-interface thread only.
std::string& LastRequest()
{
    static std::string request;
    return request;
}

} // namespace

std::string LastShutdownRequest()
{
    return LastRequest();
}

void BlockShutdownSignals()
{
    pthread_sigmask(SIG_BLOCK, &ShutdownSet(), nullptr);
}

// The signals, taken from a signalfd watched by the event loop.
class TShutdownSignals::TSource {
public:
    explicit TSource(TShutdownSignals& owner)
        : m_signalFd(ShutdownSignalDescriptor())
        , m_notifier(m_signalFd.get(), QSocketNotifier::Read)
    {
        QObject::connect(&m_notifier, &QSocketNotifier::activated, &owner, [this, &owner] {
            if (ReadSignals()) {
                emit owner.Received();
            }
        });
    }

private:
    bool ReadSignals()
    {
        signalfd_siginfo info {};
        bool received = false;
        while (read(m_signalFd.get(), &info, sizeof info) == static_cast<ssize_t>(sizeof info)) {
            received = true;
            const char* name = sigabbrev_np(static_cast<int>(info.ssi_signo));
            LastRequest() = std::string("SIG") + (name != nullptr ? name : "?");
        }
        return received;
    }

    // Declared in this order so the notifier lets go of the descriptor
    // before it is closed.
    TFileDescriptor m_signalFd;
    QSocketNotifier m_notifier;
};

TShutdownSignals::TShutdownSignals(QObject* parent)
    : QObject(parent)
    , m_source(std::make_unique<TSource>(*this))
{
}

TShutdownSignals::~TShutdownSignals() = default;
