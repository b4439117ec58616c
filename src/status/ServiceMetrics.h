#pragma once

#include "host/PrinterHostProtocol.h"
#include "status/ServiceStatus.h"

#include <array>
#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// The three card requests a PMS can make.
enum class TCardRequest {
    Write,
    Read,
    Print,
};

// How a card request ended: answered with its result code, or not answered
// at all (the program stopped, or the client left, before its turn came).
enum class TRequestResult {
    Succeeded,
    Failed,
    Dropped,
};

// The printer library's functions, counted under the names the host's
// protocol gives them (PrinterHost::FunctionName).
using TPrinterFunction = PrinterHost::TFunction;

// Why the printer host was replaced by a new one.
enum class TPrinterHostRestart {
    // It ended during a call or between calls.
    Crash,
    // A call did not return in time; it was killed.
    Hang,
    // A new one did not come up (it could not be started, ended at its
    // start, or kept loading its library too long).
    StartFailed,
    // It sent bytes between calls, which no call asked for.
    Stray,
};

// What a scrape reads from elsewhere at the moment it is taken.
struct TMetricsGauges {
    size_t Queued = 0;
    TPrinterLibraryKind PrinterLibrary = TPrinterLibraryKind::None;
    bool PrinterPortOpen = false;
    bool Listening = false;
};

// Counters since the program started, for a monitor that scrapes many
// front desks (Prometheus text format). Every operation may be called from
// any thread at any rate; none takes a lock.
class TServiceMetrics {
public:
    // Upper bounds of the card transaction histogram, in seconds: a card
    // transaction takes about half a second, a jammed or slow one up to the
    // printer's own time-out.
    static constexpr std::array<double, 9> kTransactionBuckets {0.05, 0.1, 0.25, 0.5, 1, 2, 3, 5, 10};

    // startSeconds: when the process started, in seconds since the epoch.
    explicit TServiceMetrics(double startSeconds);

    void RequestFinished(TCardRequest type, TRequestResult result);
    // resultCode as answered: "200" succeeded, anything else failed.
    void RequestFinished(TCardRequest type, std::string_view resultCode);
    // A printer fault of function: the printer answered with a failure.
    // Crashes and hangs of the library are counted as host restarts.
    void PrinterFault(TPrinterFunction function);
    void PrinterHostRestarted(TPrinterHostRestart reason);
    void TransactionTimed(double seconds);

    uint64_t Requests(TCardRequest type, TRequestResult result) const;
    uint64_t PrinterFaults(TPrinterFunction function) const;
    uint64_t PrinterHostRestarts(TPrinterHostRestart reason) const;
    uint64_t Transactions() const;

    // The text exposition format, version 0.0.4.
    std::string Exposition(const TMetricsGauges& gauges) const;

    static constexpr const char* kContentType = "text/plain; version=0.0.4; charset=utf-8";

private:
    static constexpr size_t kTypes = 3;
    static constexpr size_t kResults = 3;
    static constexpr size_t kFunctions = 10;
    static constexpr size_t kRestartReasons = 4;

    double m_startSeconds;
    std::array<std::atomic<uint64_t>, kTypes * kResults> m_requests {};
    std::array<std::atomic<uint64_t>, kFunctions> m_faults {};
    std::array<std::atomic<uint64_t>, kRestartReasons> m_restarts {};
    // Per bucket, not cumulative; the last one is above every bound.
    std::array<std::atomic<uint64_t>, kTransactionBuckets.size() + 1> m_transactions {};
    std::atomic<uint64_t> m_transactionMicroseconds {0};
};

// The one registry of this process.
TServiceMetrics& ServiceMetrics();

// Counts one card request: as answered once Answered is called, as dropped
// when it goes out of scope before (an exception, a step dropped from the
// queue, a coroutine destroyed unfinished).
class TRequestTally {
public:
    explicit TRequestTally(TCardRequest type)
        : m_type(type)
    {
    }
    ~TRequestTally()
    {
        if (!m_counted) {
            ServiceMetrics().RequestFinished(m_type, TRequestResult::Dropped);
        }
    }
    TRequestTally(const TRequestTally&) = delete;
    TRequestTally& operator=(const TRequestTally&) = delete;

    void Answered(std::string_view resultCode)
    {
        m_counted = true;
        ServiceMetrics().RequestFinished(m_type, resultCode);
    }

private:
    TCardRequest m_type;
    bool m_counted = false;
};

// Times one card transaction, from its construction to its end.
class TTransactionTimer {
public:
    TTransactionTimer()
        : m_start(std::chrono::steady_clock::now())
    {
    }
    ~TTransactionTimer()
    {
        ServiceMetrics().TransactionTimed(
            std::chrono::duration<double>(std::chrono::steady_clock::now() - m_start).count());
    }
    TTransactionTimer(const TTransactionTimer&) = delete;
    TTransactionTimer& operator=(const TTransactionTimer&) = delete;

private:
    std::chrono::steady_clock::time_point m_start;
};
