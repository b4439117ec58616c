#include "shell/ShutdownSignals.h"

#include <QAbstractNativeEventFilter>
#include <QCoreApplication>

#include <windows.h>

#include <mutex>
#include <utility>

namespace {

// The console control handler runs on a thread the system starts for each
// event; it hands the request to whichever TShutdownSignals exists, or keeps
// it for the next one.
std::mutex Mutex;
TShutdownSignals* Current = nullptr;
bool Pending = false;
std::string Request;

const char* EventName(DWORD event)
{
    switch (event) {
    case CTRL_C_EVENT:
        return "Ctrl+C";
    case CTRL_BREAK_EVENT:
        return "Ctrl+Break";
    case CTRL_CLOSE_EVENT:
        return "console closed";
    default:
        return "session end";
    }
}

void Post(TShutdownSignals* target)
{
    QMetaObject::invokeMethod(target, [target] { emit target->Received(); }, Qt::QueuedConnection);
}

BOOL WINAPI ConsoleControl(DWORD event)
{
    {
        std::scoped_lock lock(Mutex);
        Request = EventName(event);
        if (Current != nullptr) {
            Post(Current);
        } else {
            Pending = true;
        }
    }
    if (event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT) {
        return TRUE;
    }
    // A closed console window, a log-off or a shut-down: the system ends the
    // process as soon as this handler returns, so it waits here while the
    // program winds down. The program's exit ends this thread with it; the
    // system gives up after a few seconds anyway.
    Sleep(INFINITE);
    return TRUE;
}

// WM_ENDSESSION reaches the program's windows when the user's session ends.
// Windows ends the process soon after the message has been handled, so the
// request is reported at once rather than queued.
class TSessionEndFilter : public QAbstractNativeEventFilter {
public:
    explicit TSessionEndFilter(TShutdownSignals& target)
        : m_target(target)
    {
    }

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) override
    {
        if (eventType == "windows_generic_MSG") {
            const auto* msg = static_cast<const MSG*>(message);
            if (msg->message == WM_ENDSESSION && msg->wParam != FALSE) {
                {
                    std::scoped_lock lock(Mutex);
                    Request = "session end";
                }
                emit m_target.Received();
            }
        }
        return false;
    }

private:
    TShutdownSignals& m_target;
};

} // namespace

std::string LastShutdownRequest()
{
    std::scoped_lock lock(Mutex);
    return Request;
}

void BlockShutdownSignals()
{
    // Started from an Explorer window, the program is the only process in
    // a console Windows opened for it: hide that, the main window is what
    // people use. Started from a command prompt, the console stays, and
    // Ctrl+C there ends the program.
    DWORD processes[2];
    if (GetConsoleProcessList(processes, 2) == 1) {
        ShowWindow(GetConsoleWindow(), SW_HIDE);
    }
    SetConsoleCtrlHandler(ConsoleControl, TRUE);
}

class TShutdownSignals::TSource {
public:
    explicit TSource(TShutdownSignals& owner)
        : m_owner(owner)
        , m_filter(owner)
    {
        if (QCoreApplication::instance() != nullptr) {
            QCoreApplication::instance()->installNativeEventFilter(&m_filter);
        }
        std::scoped_lock lock(Mutex);
        Current = &owner;
        if (std::exchange(Pending, false)) {
            Post(&owner);
        }
    }
    ~TSource()
    {
        {
            std::scoped_lock lock(Mutex);
            if (Current == &m_owner) {
                Current = nullptr;
            }
        }
        if (QCoreApplication::instance() != nullptr) {
            QCoreApplication::instance()->removeNativeEventFilter(&m_filter);
        }
    }
    TSource(const TSource&) = delete;
    TSource& operator=(const TSource&) = delete;

private:
    TShutdownSignals& m_owner;
    TSessionEndFilter m_filter;
};

TShutdownSignals::TShutdownSignals(QObject* parent)
    : QObject(parent)
    , m_source(std::make_unique<TSource>(*this))
{
}

TShutdownSignals::~TShutdownSignals() = default;
