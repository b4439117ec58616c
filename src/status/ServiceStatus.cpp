#include "status/ServiceStatus.h"

#include "base/TextCodec.h"

#include <algorithm>

TServiceStatus::TServiceStatus()
    : TServiceStatus([] { return QDateTime::currentMSecsSinceEpoch(); })
{
}

TServiceStatus::TServiceStatus(TClock clock)
    : m_clock(std::move(clock))
{
    RollDay(m_clock());
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

void TServiceStatus::PrinterLibraryChosen(TPrinterLibraryKind kind, const QString& error, const QString& path)
{
    std::scoped_lock lock(m_mutex);
    m_state.PrinterLibrary = kind;
    m_state.PrinterLibraryError = kind == TPrinterLibraryKind::None ? error : QString();
    m_state.PrinterLibraryPath = kind == TPrinterLibraryKind::None ? QString() : path;
}

void TServiceStatus::PrinterPortChanged(bool open)
{
    std::scoped_lock lock(m_mutex);
    m_state.PrinterPortOpen = open;
}

void TServiceStatus::PrinterFault(std::string_view function, std::string_view text)
{
    const qint64 now = m_clock();
    std::scoped_lock lock(m_mutex);
    m_lastPrinterFaultAt = now;
    m_lastPrinterFault = text;
    m_lastPrinterFaultFunction = function;
    m_lastPrinterFaultPast = false;
}

void TServiceStatus::PrinterSucceeded()
{
    std::scoped_lock lock(m_mutex);
    m_lastPrinterFaultPast = true;
    m_printerLibraryFailurePast = true;
}

void TServiceStatus::PrinterLibraryFailed(TPrinterLibraryFailure failure, std::string_view detail)
{
    const qint64 now = m_clock();
    std::scoped_lock lock(m_mutex);
    m_printerLibraryFailedAt = now;
    m_state.PrinterLibraryFailure = failure;
    m_printerLibraryFailure = detail;
    m_printerLibraryFailurePast = false;
}

void TServiceStatus::PrinterHostProblem(const std::string& why)
{
    std::scoped_lock lock(m_mutex);
    m_state.PrinterHostProblem = QString::fromStdString(why);
}

void TServiceStatus::CardLeftInPrinter(bool left)
{
    std::scoped_lock lock(m_mutex);
    m_state.CardLeftInPrinter = left;
}

void TServiceStatus::CardTransactionEnded(bool succeeded, bool printerFault)
{
    const qint64 now = m_clock();
    std::scoped_lock lock(m_mutex);
    if (succeeded) {
        m_state.PrinterFaultsInARow = 0;
        m_lastSuccessAt = now;
    } else if (printerFault) {
        ++m_state.PrinterFaultsInARow;
    } else {
        // Not the printer's doing (no library, a closed port): it tells
        // nothing about whether the printer is failing.
        m_state.PrinterFaultsInARow = 0;
    }
}

void TServiceStatus::RequestAnswered(bool failed, std::string_view message)
{
    const qint64 now = m_clock();
    std::scoped_lock lock(m_mutex);
    RollDay(now);
    ++m_dayCountsVersion;
    ++m_state.AnsweredToday;
    if (failed) {
        ++m_state.FailedToday;
        m_lastFailureAt = now;
        m_lastFailure = message;
    }
}

TServiceSnapshot TServiceStatus::Snapshot() const
{
    const QDate today = QDateTime::fromMSecsSinceEpoch(m_clock()).date();
    TServiceSnapshot snapshot;
    std::string lastPrinterFault;
    std::string lastFailure;
    std::string libraryFailure;
    std::optional<qint64> lastPrinterFaultAt;
    std::optional<qint64> lastFailureAt;
    std::optional<qint64> libraryFailedAt;
    std::optional<qint64> lastSuccessAt;
    {
        std::scoped_lock lock(m_mutex);
        snapshot = m_state;
        lastPrinterFault = m_lastPrinterFault;
        lastFailure = m_lastFailure;
        libraryFailure = m_printerLibraryFailure;
        lastPrinterFaultAt = m_lastPrinterFaultAt;
        lastFailureAt = m_lastFailureAt;
        snapshot.LastPrinterFaultPast = m_lastPrinterFaultPast;
        snapshot.PrinterLibraryFailurePast = m_printerLibraryFailurePast;
        libraryFailedAt = m_printerLibraryFailedAt;
        lastSuccessAt = m_lastSuccessAt;
        snapshot.LastPrinterFaultFunction = QString::fromStdString(m_lastPrinterFaultFunction);
    }
    if (lastSuccessAt) {
        snapshot.LastSuccessAt = QDateTime::fromMSecsSinceEpoch(*lastSuccessAt);
    }
    snapshot.LastPrinterFault = TextCodec::FromGbk(lastPrinterFault);
    snapshot.LastFailure = TextCodec::FromGbk(lastFailure);
    snapshot.PrinterLibraryFailureDetail = TextCodec::FromGbk(libraryFailure);
    if (libraryFailedAt) {
        snapshot.PrinterLibraryFailedAt = QDateTime::fromMSecsSinceEpoch(*libraryFailedAt);
    }
    if (lastPrinterFaultAt) {
        snapshot.LastPrinterFaultAt = QDateTime::fromMSecsSinceEpoch(*lastPrinterFaultAt);
    }
    if (lastFailureAt) {
        snapshot.LastFailureAt = QDateTime::fromMSecsSinceEpoch(*lastFailureAt);
    }
    // A quiet night leaves yesterday's counts in place until the next
    // request; whoever looks after midnight sees the new day's.
    if (snapshot.Today != today) {
        snapshot.Today = today;
        snapshot.AnsweredToday = 0;
        snapshot.FailedToday = 0;
    }
    return snapshot;
}

TDayCounts TServiceStatus::DayCounts() const
{
    const TServiceSnapshot snapshot = Snapshot();
    return {snapshot.Today, snapshot.AnsweredToday, snapshot.FailedToday};
}

uint64_t TServiceStatus::DayCountsVersion() const
{
    std::scoped_lock lock(m_mutex);
    return m_dayCountsVersion;
}

void TServiceStatus::RestoreDayCounts(const TDayCounts& counts)
{
    const qint64 now = m_clock();
    std::scoped_lock lock(m_mutex);
    RollDay(now);
    if (counts.Day != m_state.Today) {
        return;
    }
    m_state.AnsweredToday += counts.Answered;
    m_state.FailedToday += std::min(counts.Failed, counts.Answered);
    ++m_dayCountsVersion;
}

void TServiceStatus::RollDay(qint64 now)
{
    if (now >= m_dayStart && now < m_dayEnd) {
        return;
    }
    const QDate today = QDateTime::fromMSecsSinceEpoch(now).date();
    if (m_state.Today != today) {
        m_state.Today = today;
        m_state.AnsweredToday = 0;
        m_state.FailedToday = 0;
        ++m_dayCountsVersion;
    }
    // Days are not all 24 hours long; the zone's own rules say where this
    // one starts and ends.
    m_dayStart = today.startOfDay().toMSecsSinceEpoch();
    m_dayEnd = today.addDays(1).startOfDay().toMSecsSinceEpoch();
}

std::vector<std::string> PrinterTroubles(const TServiceSnapshot& snapshot)
{
    std::vector<std::string> troubles;
    if (!snapshot.PrinterHostProblem.isEmpty()) {
        troubles.push_back("printer host not running: " + snapshot.PrinterHostProblem.toStdString());
    }
    if (snapshot.CardLeftInPrinter) {
        troubles.push_back("a card was left in the printer: the eject failed");
    }
    if (snapshot.PrinterFaultsInARow >= kFailingPrinterFaults) {
        troubles.push_back("the last " + std::to_string(snapshot.PrinterFaultsInARow)
            + " card transactions failed on printer faults");
    }
    return troubles;
}

QString PrinterLibraryDescription(const TServiceSnapshot& snapshot)
{
    switch (snapshot.PrinterLibrary) {
    case TPrinterLibraryKind::Vendor:
        return QStringLiteral("vendor ") + snapshot.PrinterLibraryPath;
    case TPrinterLibraryKind::Simulator:
        return QStringLiteral("simulator ") + snapshot.PrinterLibraryPath;
    case TPrinterLibraryKind::VendorWine:
        return QStringLiteral("vendor (Windows DLL, Wine) ") + snapshot.PrinterLibraryPath;
    case TPrinterLibraryKind::SimulatorWine:
        return QStringLiteral("simulator (Windows DLL, Wine) ") + snapshot.PrinterLibraryPath;
    case TPrinterLibraryKind::None:
        break;
    }
    return QStringLiteral("none (%1)").arg(snapshot.PrinterLibraryError);
}

QString PrinterLibraryLine(const TServiceSnapshot& snapshot)
{
    switch (snapshot.PrinterLibrary) {
    case TPrinterLibraryKind::Vendor:
        return QString::fromUtf8("打印机库: 厂商库 ") + snapshot.PrinterLibraryPath;
    case TPrinterLibraryKind::Simulator:
        return QString::fromUtf8("打印机库: 模拟器 ") + snapshot.PrinterLibraryPath;
    case TPrinterLibraryKind::VendorWine:
        return QString::fromUtf8("打印机库: 厂商库(Windows DLL, Wine) ") + snapshot.PrinterLibraryPath;
    case TPrinterLibraryKind::SimulatorWine:
        return QString::fromUtf8("打印机库: 模拟器(Windows DLL, Wine) ") + snapshot.PrinterLibraryPath;
    case TPrinterLibraryKind::None:
        break;
    }
    return QString();
}

QString ServiceDescription(const TServiceSnapshot& snapshot)
{
    QString line = QStringLiteral("listening on port %1; printer library: %2")
                       .arg(snapshot.Port)
                       .arg(PrinterLibraryDescription(snapshot));
    if (snapshot.HttpApi == THttpApiState::Listening) {
        line += QStringLiteral("; HTTP API ") + snapshot.HttpApiAddress;
    } else if (snapshot.HttpApi == THttpApiState::Refused) {
        line += QStringLiteral("; HTTP API not listening");
    }
    return line;
}

TServiceStatus& ServiceStatus()
{
    static TServiceStatus status;
    return status;
}
