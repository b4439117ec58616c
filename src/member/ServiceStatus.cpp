#include "member/ServiceStatus.h"

#include "base/TextCodec.h"

TServiceStatus::TServiceStatus()
    : TServiceStatus([] { return QDateTime::currentDateTime(); })
{
}

TServiceStatus::TServiceStatus(TClock clock)
    : m_clock(std::move(clock))
{
    m_state.Today = m_clock().date();
}

void TServiceStatus::ListenerStarted(int32_t port)
{
    std::scoped_lock lock(m_mutex);
    m_state.Listener = TListenerState::Listening;
    m_state.Port = port;
    m_state.ListenerError.clear();
}

void TServiceStatus::ListenerFailed(int32_t port, const QString& why)
{
    std::scoped_lock lock(m_mutex);
    m_state.Listener = TListenerState::Failed;
    m_state.Port = port;
    m_state.ListenerError = why;
}

void TServiceStatus::ListenerStopped()
{
    std::scoped_lock lock(m_mutex);
    if (m_state.Listener == TListenerState::Listening) {
        m_state.Listener = TListenerState::Stopped;
    }
}

void TServiceStatus::HttpApiListening(const QString& address)
{
    std::scoped_lock lock(m_mutex);
    m_state.HttpApi = THttpApiState::Listening;
    m_state.HttpApiAddress = address;
    m_state.HttpApiProblem.clear();
}

void TServiceStatus::HttpApiRefused(const QString& why)
{
    std::scoped_lock lock(m_mutex);
    m_state.HttpApi = THttpApiState::Refused;
    m_state.HttpApiProblem = why;
}

void TServiceStatus::HttpApiStopped()
{
    std::scoped_lock lock(m_mutex);
    if (m_state.HttpApi == THttpApiState::Listening) {
        m_state.HttpApi = THttpApiState::Stopped;
    }
}

void TServiceStatus::PrinterLibraryChosen(TPrinterLibraryKind kind, const QString& error)
{
    std::scoped_lock lock(m_mutex);
    m_state.PrinterLibrary = kind;
    m_state.PrinterLibraryError = kind == TPrinterLibraryKind::None ? error : QString();
}

void TServiceStatus::PrinterPortChanged(bool open)
{
    std::scoped_lock lock(m_mutex);
    m_state.PrinterPortOpen = open;
}

void TServiceStatus::PrinterFault(std::string_view text)
{
    const QDateTime now = m_clock();
    std::scoped_lock lock(m_mutex);
    m_state.LastPrinterFaultAt = now;
    m_lastPrinterFault = text;
}

void TServiceStatus::RequestAnswered(bool failed, std::string_view message)
{
    const QDateTime now = m_clock();
    std::scoped_lock lock(m_mutex);
    RollDay(now.date());
    ++m_state.AnsweredToday;
    if (failed) {
        ++m_state.FailedToday;
        m_state.LastFailureAt = now;
        m_lastFailure = message;
    }
}

TServiceSnapshot TServiceStatus::Snapshot() const
{
    const QDate today = m_clock().date();
    TServiceSnapshot snapshot;
    std::string lastPrinterFault;
    std::string lastFailure;
    {
        std::scoped_lock lock(m_mutex);
        snapshot = m_state;
        lastPrinterFault = m_lastPrinterFault;
        lastFailure = m_lastFailure;
    }
    snapshot.LastPrinterFault = TextCodec::FromGbk(lastPrinterFault);
    snapshot.LastFailure = TextCodec::FromGbk(lastFailure);
    // A quiet night leaves yesterday's counts in place until the next
    // request; whoever looks after midnight sees the new day's.
    if (snapshot.Today != today) {
        snapshot.Today = today;
        snapshot.AnsweredToday = 0;
        snapshot.FailedToday = 0;
    }
    return snapshot;
}

void TServiceStatus::RollDay(const QDate& today)
{
    if (m_state.Today != today) {
        m_state.Today = today;
        m_state.AnsweredToday = 0;
        m_state.FailedToday = 0;
    }
}

TServiceStatus& ServiceStatus()
{
    static TServiceStatus status;
    return status;
}
