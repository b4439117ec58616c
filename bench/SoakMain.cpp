// member-soak: the built program with the printer simulator under mixed
// load and misbehaving clients on 127.0.0.1, bounded in time and count.
// Checks at the end that every complete request was answered exactly once,
// that the log agrees, that memory and threads are back near where they
// started, and that SIGTERM stops the program cleanly. Prints the figures;
// exits 1 when a check fails.

#include "ProcessStatus.h"
#include "SoakChecks.h"
#include "SoakLoad.h"
#include "SoakLog.h"
#include "SoakProgram.h"

#include "base/ExecutablePath.h"
#include "base/SocketPlatform.h"
#include "listener/RequestListener.h"

#include <QTemporaryDir>

#include "base/Asio.h"

#include <algorithm>
#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <poll.h>
#include <string>
#include <thread>
#include <unistd.h>

namespace {

using TClock = std::chrono::steady_clock;

struct TSettings {
    int Seconds = 60;
    unsigned Clients = 32;
    int DelayMs = 2;
    size_t MaxRequests = 200000;
};

// Memory may stay above its start by what the allocator keeps for reuse;
// a leak grows with the load and shows well beyond this.
constexpr int64_t kRssToleranceKiB = 16 * 1024;
constexpr size_t kIdleThroughStop = 4;

std::string Of(size_t a, size_t b)
{
    return std::to_string(a) + " of " + std::to_string(b);
}

// Waits for the connection threads of the last requests to end.
int64_t SettledThreads(pid_t pid, int64_t baseline)
{
    const auto deadline = TClock::now() + std::chrono::seconds(10);
    int64_t threads = ProcessStatusField("Threads", pid);
    while (threads > baseline && TClock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        threads = ProcessStatusField("Threads", pid);
    }
    return threads;
}

double Millis(std::chrono::nanoseconds d)
{
    return std::chrono::duration<double, std::milli>(d).count();
}

int Usage()
{
    std::fprintf(stderr,
        "usage: member-soak [--seconds N] [--clients N] [--delay-ms N] [--max-requests N]\n"
        "Runs the member-interface and simulator built beside it under load on 127.0.0.1.\n");
    return 64;
}

} // namespace

int main(int argc, char* argv[])
{
    TSettings settings;
    for (int i = 1; i < argc; i += 2) {
        const std::string name = argv[i];
        if (i + 1 >= argc) {
            return Usage();
        }
        const long value = std::strtol(argv[i + 1], nullptr, 10);
        if (name == "--seconds" && value >= 1 && value <= 3600) {
            settings.Seconds = static_cast<int>(value);
        } else if (name == "--clients" && value >= 1 && value <= 256) {
            settings.Clients = static_cast<unsigned>(value);
        } else if (name == "--delay-ms" && value >= 0 && value <= 1000) {
            settings.DelayMs = static_cast<int>(value);
        } else if (name == "--max-requests" && value >= 1) {
            settings.MaxRequests = static_cast<size_t>(value);
        } else {
            return Usage();
        }
    }
    SocketPlatform::PrepareProcess();

    QTemporaryDir runDir;
    if (!runDir.isValid()) {
        std::fprintf(stderr, "member-soak: cannot create a folder to run in\n");
        return 1;
    }
    const std::string dir = runDir.path().toStdString();
    const uint16_t port = FreePort();
    // Started before any thread of this process exists: it forks.
    TSoakProgram program(ExecutableDirectory(), dir, port, settings.DelayMs);
    if (!program.WaitUntilListening(std::chrono::seconds(20))) {
        std::fprintf(stderr, "member-soak: the program does not listen on port %u; see %s\n", port, dir.c_str());
        runDir.setAutoRemove(false);
        return 1;
    }
    const pid_t pid = program.Pid();
    std::printf("member-soak: %u clients and 4 misbehaving ones for %d s on 127.0.0.1:%u, simulator DelayMs=%d\n",
        settings.Clients, settings.Seconds, port, settings.DelayMs);

    // A short warm-up first, so the starting figures include what the
    // program allocates once (allocator arenas, the simulator's state).
    const int64_t threadsIdle = ProcessStatusField("Threads", pid);
    std::vector<int> idleKept;
    const auto warmStart = TClock::now();
    TSoakCounts counts
        = RunSoakLoad(port, settings.Clients, std::chrono::seconds(3), settings.MaxRequests, 'W', 0, idleKept);
    const double warmSeconds = std::chrono::duration<double>(TClock::now() - warmStart).count();
    const int64_t threadsStart = SettledThreads(pid, threadsIdle);
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    const int64_t rssStart = ProcessStatusField("VmRSS", pid);

    std::atomic<bool> loading {true};
    std::atomic<int64_t> rssPeak {rssStart};
    std::atomic<int64_t> threadsPeak {threadsStart};
    std::thread sampler([&] {
        while (loading) {
            rssPeak = std::max<int64_t>(rssPeak, ProcessStatusField("VmRSS", pid));
            threadsPeak = std::max<int64_t>(threadsPeak, ProcessStatusField("Threads", pid));
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
    });
    const auto loadStart = TClock::now();
    counts += RunSoakLoad(port, settings.Clients, std::chrono::seconds(settings.Seconds),
        settings.MaxRequests > counts.Complete() ? settings.MaxRequests - counts.Complete() : 1, 'S',
        kIdleThroughStop, idleKept);
    const double loadSeconds = std::chrono::duration<double>(TClock::now() - loadStart).count();
    loading = false;
    sampler.join();

    const int64_t threadsEnd = SettledThreads(pid, threadsStart);
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    const int64_t rssEnd = ProcessStatusField("VmRSS", pid);
    const TSoakLogCounts log = CountLog(program.LogPath());

    const auto stopStart = TClock::now();
    const int exitCode = program.Terminate(std::chrono::seconds(15));
    const double stopMs = Millis(TClock::now() - stopStart);
    size_t idleClosed = 0;
    for (const int fd : idleKept) {
        pollfd pfd {fd, POLLIN, 0};
        char byte = 0;
        if (poll(&pfd, 1, 1000) == 1 && recv(fd, &byte, 1, 0) <= 0) {
            ++idleClosed;
        }
        close(fd);
    }

    std::sort(counts.Latencies.begin(), counts.Latencies.end());
    const auto percentile = [&](double p) {
        return counts.Latencies.empty()
            ? 0.0
            : Millis(counts.Latencies[static_cast<size_t>(p * static_cast<double>(counts.Latencies.size() - 1))]);
    };
    const size_t complete = counts.Complete();
    std::printf("\nload: %.1f s warm-up, then %.1f s measured\n", warmSeconds, loadSeconds);
    std::printf("requests: %zu complete (%zu write, %zu read, %zu print), %.1f per second under load\n", complete,
        counts.Writes, counts.Reads, counts.Prints, static_cast<double>(complete) / (warmSeconds + loadSeconds));
    std::printf("latency: p50 %.1f ms, p99 %.1f ms, max %.1f ms\n", percentile(0.5), percentile(0.99), percentile(1.0));
    std::printf("misbehaving clients: %zu half requests then gone, %zu resets mid-request, %zu sent 20 KB without "
                "a zero byte, %zu idle connections\n",
        counts.HalfAndGone, counts.Resets, counts.Oversized, counts.Idle);
    std::printf("log: %zu entries, %zu arrivals (%zu empty), %zu outcomes\n", log.Entries, log.Received,
        log.EmptyReceived, log.Outcomes());
    std::printf("memory (VmRSS): %lld KiB at start, %lld KiB peak, %lld KiB at end\n",
        static_cast<long long>(rssStart), static_cast<long long>(rssPeak.load()), static_cast<long long>(rssEnd));
    std::printf("threads: %lld at start, %lld peak, %lld at end\n", static_cast<long long>(threadsStart),
        static_cast<long long>(threadsPeak.load()), static_cast<long long>(threadsEnd));
    std::printf("stop: SIGTERM with %zu idle connections open, exit code %d after %.0f ms\n\n", idleKept.size(),
        exitCode, stopMs);

    TSoakChecks checks;
    checks.Expect(counts.Answered == complete && counts.Malformed == 0 && counts.Unanswered == 0,
        "every complete request answered exactly once: " + Of(counts.Answered, complete) + ", "
            + std::to_string(counts.Unanswered) + " unanswered, " + std::to_string(counts.Malformed) + " malformed");
    checks.Expect(counts.ConnectErrors == 0, std::to_string(counts.ConnectErrors) + " connections refused");
    checks.Expect(counts.Failures == 0, std::to_string(counts.Failures) + " answered \"500\" by the simulator");
    checks.Expect(counts.OversizedAnswered == 0,
        "oversized requests got no answer: " + std::to_string(counts.OversizedAnswered) + " answered");
    checks.Expect(log.Received == complete + counts.HalfAndGone && log.EmptyReceived == counts.HalfAndGone,
        "log arrivals: " + Of(log.Received, complete + counts.HalfAndGone) + " (complete requests and half ones)");
    checks.Expect(log.Outcomes() == complete && log.WriteOk + log.WriteFailed == counts.Writes
            && log.ReadOk + log.ReadFailed == counts.Reads && log.PrintOk + log.PrintFailed == counts.Prints,
        "log outcomes: " + Of(log.Outcomes(), complete) + ", by type as sent");
    checks.Expect(log.WrittenCards == counts.WrittenCards,
        "each written card number logged exactly once: " + Of(log.WrittenCards.size(), counts.WrittenCards.size()));
    // The start may still count a thread of the program's own start-up.
    checks.Expect(threadsEnd <= threadsStart, "threads back at or below the start: " + std::to_string(threadsEnd));
    checks.Expect(rssEnd - rssStart <= kRssToleranceKiB,
        "memory back near the start: " + std::to_string(rssEnd - rssStart) + " KiB above it");
    checks.Expect(exitCode == 0 && idleClosed == idleKept.size(),
        "SIGTERM stops the program cleanly (exit code 0, idle connections closed: " + Of(idleClosed, idleKept.size())
            + ")");
    if (checks.Failed()) {
        runDir.setAutoRemove(false);
        std::printf("\nmember-soak: FAILED; the program's folder is kept: %s\n", dir.c_str());
        return 1;
    }
    std::printf("\nmember-soak: passed\n");
    return 0;
}
