#include "status/ServiceMetrics.h"

#include "status/ProcessFigures.h"

#include <QDateTime>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <optional>
#include <type_traits>

namespace {

constexpr const char* kTypeNames[] = {"write", "read", "print"};
constexpr const char* kResultNames[] = {"200", "500", "dropped"};
constexpr const char* kRestartNames[] = {"crash", "hang", "start_failed", "stray"};

// The functions are numbered from 1 (PrinterHost::TFunction), their
// counters from 0.
size_t FunctionIndex(TPrinterFunction function)
{
    return static_cast<size_t>(function) - 1;
}

TPrinterFunction FunctionAt(size_t index)
{
    return static_cast<TPrinterFunction>(index + 1);
}

struct TLibraryName {
    TPrinterLibraryKind Kind;
    const char* Name;
};
constexpr TLibraryName kLibraryNames[] = {
    {TPrinterLibraryKind::Vendor, "vendor"},
    {TPrinterLibraryKind::Simulator, "simulator"},
    {TPrinterLibraryKind::VendorWine, "vendorWine"},
    {TPrinterLibraryKind::SimulatorWine, "simulatorWine"},
    {TPrinterLibraryKind::None, "none"},
};

// Taken while the program's static objects are made, before main: as close
// to the process start as this code gets.
const double kProcessStart = static_cast<double>(QDateTime::currentMSecsSinceEpoch()) / 1000.0;

std::string Number(double value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.6g", value);
    return text;
}

void Family(std::string& out, const char* name, const char* type, const char* help)
{
    out += "# HELP ";
    out += name;
    out += ' ';
    out += help;
    out += "\n# TYPE ";
    out += name;
    out += ' ';
    out += type;
    out += '\n';
}

void Sample(std::string& out, const std::string& nameAndLabels, const std::string& value)
{
    out += nameAndLabels;
    out += ' ';
    out += value;
    out += '\n';
}

template <typename TValue>
void ProcessFamily(std::string& out, const char* name, const char* type, const char* help, std::optional<TValue> value)
{
    if (!value) {
        return;
    }
    Family(out, name, type, help);
    if constexpr (std::is_floating_point_v<TValue>) {
        char text[32];
        std::snprintf(text, sizeof text, "%.3f", *value);
        Sample(out, name, text);
    } else {
        Sample(out, name, std::to_string(*value));
    }
}

} // namespace

TServiceMetrics::TServiceMetrics(double startSeconds)
    : m_startSeconds(startSeconds)
{
}

void TServiceMetrics::RequestFinished(TCardRequest type, TRequestResult result)
{
    m_requests[static_cast<size_t>(type) * kResults + static_cast<size_t>(result)].fetch_add(
        1, std::memory_order_relaxed);
}

void TServiceMetrics::RequestFinished(TCardRequest type, std::string_view resultCode)
{
    RequestFinished(type, resultCode == "200" ? TRequestResult::Succeeded : TRequestResult::Failed);
}

void TServiceMetrics::PrinterFault(TPrinterFunction function)
{
    m_faults[FunctionIndex(function)].fetch_add(1, std::memory_order_relaxed);
}

void TServiceMetrics::PrinterHostRestarted(TPrinterHostRestart reason)
{
    m_restarts[static_cast<size_t>(reason)].fetch_add(1, std::memory_order_relaxed);
}

void TServiceMetrics::TransactionTimed(double seconds)
{
    size_t bucket = 0;
    while (bucket < kTransactionBuckets.size() && seconds > kTransactionBuckets[bucket]) {
        ++bucket;
    }
    m_transactions[bucket].fetch_add(1, std::memory_order_relaxed);
    const double microseconds = std::max(0.0, std::round(seconds * 1e6));
    m_transactionMicroseconds.fetch_add(static_cast<uint64_t>(microseconds), std::memory_order_relaxed);
}

uint64_t TServiceMetrics::Requests(TCardRequest type, TRequestResult result) const
{
    return m_requests[static_cast<size_t>(type) * kResults + static_cast<size_t>(result)].load(
        std::memory_order_relaxed);
}

uint64_t TServiceMetrics::PrinterFaults(TPrinterFunction function) const
{
    return m_faults[FunctionIndex(function)].load(std::memory_order_relaxed);
}

uint64_t TServiceMetrics::PrinterHostRestarts(TPrinterHostRestart reason) const
{
    return m_restarts[static_cast<size_t>(reason)].load(std::memory_order_relaxed);
}

uint64_t TServiceMetrics::Transactions() const
{
    uint64_t count = 0;
    for (const auto& bucket : m_transactions) {
        count += bucket.load(std::memory_order_relaxed);
    }
    return count;
}

std::string TServiceMetrics::Exposition(const TMetricsGauges& gauges) const
{
    std::string out;
    out.reserve(4096);

    Family(out, "member_interface_requests_total", "counter",
        "Card requests finished, by type and result (200, 500, or dropped: ended without an answer).");
    for (size_t type = 0; type < kTypes; ++type) {
        for (size_t result = 0; result < kResults; ++result) {
            Sample(out,
                std::string("member_interface_requests_total{type=\"") + kTypeNames[type] + "\",result=\""
                    + kResultNames[result] + "\"}",
                std::to_string(m_requests[type * kResults + result].load(std::memory_order_relaxed)));
        }
    }

    Family(out, "member_interface_printer_faults_total", "counter",
        "Failed calls of the printer library, by the function that failed.");
    for (size_t function = 0; function < kFunctions; ++function) {
        Sample(out,
            std::string("member_interface_printer_faults_total{function=\"")
                + PrinterHost::FunctionName(FunctionAt(function)) + "\"}",
            std::to_string(m_faults[function].load(std::memory_order_relaxed)));
    }

    Family(out, "member_interface_printer_host_restarts_total", "counter",
        "Printer hosts replaced by a new one, by why: crash, hang, start_failed (a new one did not come up) "
        "or stray (bytes between calls).");
    for (size_t reason = 0; reason < kRestartReasons; ++reason) {
        Sample(out,
            std::string("member_interface_printer_host_restarts_total{reason=\"") + kRestartNames[reason] + "\"}",
            std::to_string(m_restarts[reason].load(std::memory_order_relaxed)));
    }

    Family(out, "member_interface_requests_queued", "gauge",
        "Card requests and test steps waiting for the printer or at it.");
    Sample(out, "member_interface_requests_queued", std::to_string(gauges.Queued));

    Family(out, "member_interface_card_transaction_seconds", "histogram",
        "Duration of card transactions on the printer (card in to card out).");
    // The count is the sum of the buckets read here, so +Inf and _count
    // agree even while transactions end during the scrape.
    uint64_t cumulative = 0;
    for (size_t bucket = 0; bucket < m_transactions.size(); ++bucket) {
        cumulative += m_transactions[bucket].load(std::memory_order_relaxed);
        const std::string bound
            = bucket < kTransactionBuckets.size() ? Number(kTransactionBuckets[bucket]) : std::string("+Inf");
        Sample(out, "member_interface_card_transaction_seconds_bucket{le=\"" + bound + "\"}",
            std::to_string(cumulative));
    }
    char sum[32];
    std::snprintf(sum, sizeof sum, "%.6f",
        static_cast<double>(m_transactionMicroseconds.load(std::memory_order_relaxed)) / 1e6);
    Sample(out, "member_interface_card_transaction_seconds_sum", sum);
    Sample(out, "member_interface_card_transaction_seconds_count", std::to_string(cumulative));

    Family(out, "member_interface_printer_library", "gauge",
        "The printer library in use: 1 for the kind loaded (vendor, simulator, vendorWine, simulatorWine or none), 0 for the others.");
    for (const TLibraryName& library : kLibraryNames) {
        Sample(out, std::string("member_interface_printer_library{kind=\"") + library.Name + "\"}",
            gauges.PrinterLibrary == library.Kind ? "1" : "0");
    }

    Family(out, "member_interface_printer_port_open", "gauge", "1 while the printer port is open.");
    Sample(out, "member_interface_printer_port_open", gauges.PrinterPortOpen ? "1" : "0");

    Family(out, "member_interface_member_port_listening", "gauge", "1 while the member port takes connections.");
    Sample(out, "member_interface_member_port_listening", gauges.Listening ? "1" : "0");

    Family(out, "member_interface_build_info", "gauge", "The program's version, as a label; always 1.");
    Sample(out, "member_interface_build_info{version=\"" MEMBER_VERSION "\"}", "1");

    Family(out, "process_start_time_seconds", "gauge", "Start time of the process since the epoch, in seconds.");
    char start[32];
    std::snprintf(start, sizeof start, "%.3f", m_startSeconds);
    Sample(out, "process_start_time_seconds", start);

    const TProcessFigures process = ReadProcessFigures();
    ProcessFamily(out, "process_cpu_seconds_total", "counter", "Total user and system CPU time spent in seconds.",
        process.CpuSeconds);
    ProcessFamily(out, "process_open_fds", "gauge", "Number of open file descriptors.", process.OpenFds);
    ProcessFamily(out, "process_max_fds", "gauge", "Maximum number of open file descriptors.", process.MaxFds);
    ProcessFamily(out, "process_resident_memory_bytes", "gauge", "Resident memory size in bytes.",
        process.ResidentBytes);
    ProcessFamily(out, "process_virtual_memory_bytes", "gauge", "Virtual memory size in bytes.",
        process.VirtualBytes);
    return out;
}

TServiceMetrics& ServiceMetrics()
{
    static TServiceMetrics metrics(kProcessStart);
    return metrics;
}
