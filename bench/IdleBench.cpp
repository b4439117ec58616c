#include "IdleBench.h"

#include "BenchEnvironment.h"
#include "IdleHolder.h"
#include "LoadClient.h"
#include "ProcessStatus.h"
#include "ServerUnderTest.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

namespace {

double Percentile(std::vector<std::chrono::nanoseconds> sorted, double p)
{
    std::sort(sorted.begin(), sorted.end());
    const auto index = static_cast<size_t>(p * static_cast<double>(sorted.size() - 1) + 0.5);
    return std::chrono::duration<double, std::milli>(sorted[index]).count();
}

// The listen queue holds 15 connections; a connect beyond it loses its SYN
// and waits a second for the retry. Opening in batches smaller than the
// queue, each taken by the server before the next, measures capacity
// rather than the kernel's retry timer.
constexpr size_t kBatch = 8;

// The listener accepts asynchronously: a connection the holder has made is
// counted only once the server has taken it.
bool WaitForConnections(const TServerUnderTest& server, size_t expected)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (server.LiveConnections() < expected) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    return true;
}

size_t OpenIdleConnections(TIdleHolder& holder, const TServerUnderTest& server, size_t idle)
{
    size_t opened = 0;
    while (opened < idle) {
        const size_t batch = std::min(kBatch, idle - opened);
        const size_t held = holder.Open(server.Port(), batch);
        const bool refused = held < opened + batch;
        opened = held;
        if (!WaitForConnections(server, opened)) {
            std::printf("warning: the server took only %zu of %zu connections\n", server.LiveConnections(), opened);
            break;
        }
        if (refused) {
            std::printf("warning: the system refused connections after %zu\n", opened);
            break;
        }
    }
    return opened;
}

} // namespace

void RunIdleBench(TIdleHolder& holder, size_t idle, size_t requests)
{
    TBenchEnvironment environment;
    environment.SetLogging(false);
    TServerUnderTest server;
    std::string request = BenchRequests::Write;
    request.push_back('\0');

    std::printf("\n== Idle capacity: %zu idle connections, %zu requests while they are held ==\n", idle, requests);
    // Warm up first, so the memory measured below is the connections' own.
    RunLoad(server.Port(), request, 4, 500, false);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    const int64_t rssBefore = ProcessStatusField("VmRSS");
    const int64_t threadsBefore = ProcessStatusField("Threads");

    const auto openStart = std::chrono::steady_clock::now();
    const size_t opened = OpenIdleConnections(holder, server, idle);
    const double openSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - openStart).count();
    const int64_t rssHeld = ProcessStatusField("VmRSS");
    const int64_t threadsHeld = ProcessStatusField("Threads");

    const TLoadResult timed = RunLoad(server.Port(), request, 1, requests, true);
    const size_t stillHeld = server.LiveConnections();
    holder.Release();

    const double perConnection
        = opened == 0 ? 0 : static_cast<double>(rssHeld - rssBefore) * 1024.0 / static_cast<double>(opened);
    std::printf("idle connections held: %zu (server counts %zu), opened in %.1f s\n", opened, stillHeld, openSeconds);
    std::printf("server threads: %lld before, %lld while held\n", static_cast<long long>(threadsBefore),
        static_cast<long long>(threadsHeld));
    std::printf("server VmRSS: %lld KiB before, %lld KiB while held: %.0f bytes per idle connection (goal < 4096)\n",
        static_cast<long long>(rssBefore), static_cast<long long>(rssHeld), perConnection);
    std::printf("requests answered: %zu of %zu\n", timed.Answered, requests);
    if (!timed.Latencies.empty()) {
        std::printf("latency p50 %.3f ms, p99 %.3f ms, max %.3f ms (goal: p99 < 10 ms)\n",
            Percentile(timed.Latencies, 0.50), Percentile(timed.Latencies, 0.99), Percentile(timed.Latencies, 1.0));
    }
}
