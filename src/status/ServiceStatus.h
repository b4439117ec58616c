#pragma once

#include <QDate>
#include <QDateTime>
#include <QString>

#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

enum class TListenerState {
    NotStarted,
    Listening,
    // Binding failed; nothing listens for the rest of the run.
    Failed,
    Stopped,
};

// The local HTTP API beside the member port.
enum class THttpApiState {
    // Not enabled in the options.
    Off,
    Listening,
    // Enabled, but the settings or the address kept it from listening.
    Refused,
    Stopped,
};

enum class TPrinterLibraryKind {
    None,
    Vendor,
    Simulator,
    // A Windows DLL in the Windows printer host under Wine.
    VendorWine,
    SimulatorWine,
};

// How the printer library, in its process of its own, failed a call.
enum class TPrinterLibraryFailure {
    // Its process ended (a crash, an exit) during a call or while idle.
    Crashed,
    // A call did not return in time, or was given up; its process was ended.
    Hung,
};

// What the interface is doing at one moment, as plain values: the main
// window's status bar shows it, and anything else that reports the state
// (a service manager, a health check) can read the same.
struct TServiceSnapshot {
    TListenerState Listener = TListenerState::NotStarted;
    // The port bound while listening, else the one asked for.
    int32_t Port = 0;
    // Why nothing listens, for Failed.
    QString ListenerError;

    THttpApiState HttpApi = THttpApiState::Off;
    // Where it listens, for Listening; why it does not, for Refused.
    QString HttpApiAddress;
    QString HttpApiProblem;

    TPrinterLibraryKind PrinterLibrary = TPrinterLibraryKind::None;
    // Why no library could be used, for None.
    QString PrinterLibraryError;
    // The library's file, for every kind but None.
    QString PrinterLibraryPath;
    bool PrinterPortOpen = false;
    // The printer's last failed step, as the driver logged it, and the
    // library function that failed; null time when there was none.
    QDateTime LastPrinterFaultAt;
    QString LastPrinterFault;
    QString LastPrinterFaultFunction;
    // A printer step has succeeded since the last fault: it is history.
    bool LastPrinterFaultPast = false;
    // The printer library's last crash or hang, null time when there was
    // none; the detail names the call and how its process ended.
    QDateTime PrinterLibraryFailedAt;
    TPrinterLibraryFailure PrinterLibraryFailure = TPrinterLibraryFailure::Crashed;
    QString PrinterLibraryFailureDetail;
    // A printer step has succeeded since that crash or hang: it is history.
    bool PrinterLibraryFailurePast = false;
    // Why no printer host runs now that one should (it cannot be started,
    // or it is still loading the library); empty while one runs or none is
    // needed. English, for the health check and the journal.
    QString PrinterHostProblem;
    // The last eject failed, even on a new printer host: a guest's card
    // may still be inside. Until an eject succeeds.
    bool CardLeftInPrinter = false;
    // Card transactions in a row that failed on a printer fault, and when
    // one last succeeded (null when none has).
    uint32_t PrinterFaultsInARow = 0;
    QDateTime LastSuccessAt;

    // Requests answered since local midnight, and how many of those answers
    // reported a failure.
    QDate Today;
    uint64_t AnsweredToday = 0;
    uint64_t FailedToday = 0;
    // The last answer that reported a failure, on whatever day; null time
    // when there was none.
    QDateTime LastFailureAt;
    QString LastFailure;
};

// The day's request counts, as kept across a restart on the same day.
struct TDayCounts {
    QDate Day;
    uint64_t Answered = 0;
    uint64_t Failed = 0;
};

// The process-wide state of the running interface. Every operation may be
// called from any thread; none of them fails or blocks for long.
class TServiceStatus {
public:
    // Milliseconds since the epoch. Read for every request, so it costs no
    // time-zone work; local dates and times are made from it only when a
    // day may have ended and for a snapshot.
    using TClock = std::function<qint64()>;

    // On the system clock.
    TServiceStatus();
    // The day's counts restart when the local date of clock's time changes.
    explicit TServiceStatus(TClock clock);

    void ListenerStarted(int32_t port);
    void ListenerFailed(int32_t port, const QString& why);
    // Only a listener that was listening becomes stopped: a failed start
    // stays visible as such.
    void ListenerStopped();

    void HttpApiListening(const QString& address);
    void HttpApiRefused(const QString& why);
    // Only an API that was listening becomes stopped.
    void HttpApiStopped();

    void PrinterLibraryChosen(TPrinterLibraryKind kind, const QString& error, const QString& path = QString());
    void PrinterPortChanged(bool open);
    // function is the library's function that failed; text is GBK, as the
    // driver logged it.
    void PrinterFault(std::string_view function, std::string_view text);
    // A printer step succeeded, so neither the last fault nor the library's
    // last crash or hang stands any longer.
    void PrinterSucceeded();
    // The printer library crashed or hung in its process; detail is GBK.
    void PrinterLibraryFailed(TPrinterLibraryFailure failure, std::string_view detail);

    // why is empty when a printer host runs again.
    void PrinterHostProblem(const std::string& why);
    void CardLeftInPrinter(bool left);
    // A card transaction ended: succeeded, or failed on a printer fault
    // (printerFault) or otherwise.
    void CardTransactionEnded(bool succeeded, bool printerFault);

    // One request has been answered; failed when the answer reports a
    // failure (message is its result message, GBK).
    void RequestAnswered(bool failed, std::string_view message);

    TServiceSnapshot Snapshot() const;

    // The counts of the current day, and a number that changes whenever
    // they do.
    TDayCounts DayCounts() const;
    uint64_t DayCountsVersion() const;
    // Counts an earlier run of the same day left: added to today's when
    // counts.Day is today, ignored otherwise.
    void RestoreDayCounts(const TDayCounts& counts);

private:
    // Starts the day's counts afresh when the local date has moved on.
    void RollDay(qint64 now);

    TClock m_clock;
    mutable std::mutex m_mutex;
    TServiceSnapshot m_state;
    // The texts of LastPrinterFault, LastFailure and
    // PrinterLibraryFailureDetail as they came, in GBK:
    // every request may replace them, and only a snapshot needs them as
    // Unicode.
    std::string m_lastPrinterFault;
    std::string m_lastPrinterFaultFunction;
    std::string m_lastFailure;
    std::string m_printerLibraryFailure;
    // LastPrinterFaultAt, LastFailureAt and PrinterLibraryFailedAt on the clock.
    std::optional<qint64> m_lastPrinterFaultAt;
    std::optional<qint64> m_lastFailureAt;
    std::optional<qint64> m_lastSuccessAt;
    bool m_lastPrinterFaultPast = false;
    bool m_printerLibraryFailurePast = false;
    uint64_t m_dayCountsVersion = 0;
    std::optional<qint64> m_printerLibraryFailedAt;
    // The local day of m_state.Today on the clock, from its first
    // millisecond to the next day's first.
    qint64 m_dayStart = 0;
    qint64 m_dayEnd = 0;
};

// A printer that is failing: this many card transactions in a row failed
// on a printer fault.
constexpr uint32_t kFailingPrinterFaults = 3;

// Why the printer cannot serve card requests as it should, in English: the
// printer host is down, a card was left inside, or the last
// kFailingPrinterFaults transactions failed on printer faults. Empty when
// none of these holds.
std::vector<std::string> PrinterTroubles(const TServiceSnapshot& snapshot);

// Which printer library is in use, in English for the journal and the
// service manager: "vendor <path>", "simulator <path>" or "none (<why>)".
QString PrinterLibraryDescription(const TServiceSnapshot& snapshot);

// Which library is in use, as the day's log and the status bar's tool tip
// say it: "打印机库: 厂商库 <path>" or "打印机库: 模拟器 <path>"; empty when
// none is (its error says why).
QString PrinterLibraryLine(const TServiceSnapshot& snapshot);
// What `systemctl status` shows beside the unit while the interface serves:
// the member port, the printer library and, when enabled, the HTTP API.
QString ServiceDescription(const TServiceSnapshot& snapshot);

// The one status of this process.
TServiceStatus& ServiceStatus();
