#include "LoopBench.h"

#include "LoadClient.h"
#include "ProcessStatus.h"
#include "SoakProgram.h"

#include "base/PosixSocket.h"

#include <QTemporaryDir>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <stdexcept>
#include <thread>
#include <vector>

namespace {

using TClock = std::chrono::steady_clock;
using namespace std::chrono_literals;

const std::string kWrite = std::string("<MemberRequest type=\"WriteMemberCard\"><RequestID>1</RequestID><CardNo>"
                                       "00012345</CardNo><ExpireDate>2030-12-31</ExpireDate><GuestName>Q</GuestName>"
                                       "<Score>1</Score></MemberRequest>")
    + '\0';
const std::string kJsonWrite
    = R"({"requestId":1,"cardNo":"00012345","expireDate":"2030-12-31","guestName":"Q","score":"1"})";
const std::string kHealth = "GET /v1/health HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";

TFileDescriptor Connect(uint16_t port)
{
    TFileDescriptor socket = TcpSocket();
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(socket.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        return TFileDescriptor();
    }
    return socket;
}

// What arrived until the peer closed, or until `limit` passed.
std::string Receive(const TFileDescriptor& socket, std::chrono::milliseconds limit)
{
    std::string bytes;
    char buffer[1024];
    const auto deadline = TClock::now() + limit;
    while (socket.Valid() && TClock::now() < deadline) {
        pollfd ready {socket.get(), POLLIN, 0};
        if (poll(&ready, 1, 50) <= 0) {
            continue;
        }
        const ssize_t n = recv(socket.get(), buffer, sizeof buffer, 0);
        if (n <= 0) {
            break;
        }
        bytes.append(buffer, static_cast<size_t>(n));
    }
    return bytes;
}

// A program of its own, headless, with the HTTP API on.
struct TRun {
    QTemporaryDir Dir;
    uint16_t TcpPort = FreePort();
    uint16_t HttpPort = FreePort();
    std::unique_ptr<TSoakProgram> Program;

    TRun(const std::string& binDir, int delayMs)
    {
        Program = std::make_unique<TSoakProgram>(binDir, Dir.path().toStdString(), TcpPort, delayMs,
            "[HttpOption]\r\nEnabled=1\r\nPort=" + std::to_string(HttpPort) + "\r\n");
        if (!Program->WaitUntilListening(20s)) {
            throw std::runtime_error("the program did not listen");
        }
    }
    pid_t Pid() const { return Program->Pid(); }
};

int64_t StatusField(const std::string& path, std::string_view field)
{
    std::ifstream status(path);
    std::string line;
    while (std::getline(status, line)) {
        if (line.size() > field.size() && line.compare(0, field.size(), field) == 0 && line[field.size()] == ':') {
            return std::strtoll(line.c_str() + field.size() + 1, nullptr, 10);
        }
    }
    return 0;
}

// The threads of a process by name.
struct TTasks {
    std::map<std::string, int> Names;
    int Count() const
    {
        int count = 0;
        for (const auto& [name, n] : Names) {
            count += n;
        }
        return count;
    }
    std::string List() const
    {
        std::string list;
        for (const auto& [name, n] : Names) {
            list += (list.empty() ? "" : ", ") + name + (n > 1 ? " x" + std::to_string(n) : "");
        }
        return list;
    }
};

TTasks Tasks(pid_t pid)
{
    TTasks tasks;
    std::error_code error;
    for (const auto& task : std::filesystem::directory_iterator("/proc/" + std::to_string(pid) + "/task", error)) {
        std::string name;
        std::getline(std::ifstream(task.path().string() + "/comm"), name);
        ++tasks.Names[name];
    }
    return tasks;
}

// Context switches of every thread of a process over a window. A thread's
// count goes with it when it ends, so each thread's last sampled count is
// kept; a thread born and ended between two samples is missed.
class TSwitchWatch {
public:
    explicit TSwitchWatch(pid_t pid)
        : m_pid(pid)
    {
        Sample(true);
    }
    void Sample(bool atStart = false)
    {
        std::error_code error;
        const std::string tasks = "/proc/" + std::to_string(m_pid) + "/task";
        for (const auto& task : std::filesystem::directory_iterator(tasks, error)) {
            const std::string status = task.path().string() + "/status";
            const int64_t switches = StatusField(status, "voluntary_ctxt_switches")
                + StatusField(status, "nonvoluntary_ctxt_switches");
            const std::string tid = task.path().filename().string();
            m_first.try_emplace(tid, atStart ? switches : 0);
            m_last[tid] = switches;
        }
    }
    int64_t Switches() const
    {
        int64_t sum = 0;
        for (const auto& [tid, last] : m_last) {
            sum += last - m_first.at(tid);
        }
        return sum;
    }

    // Each thread's share, "tid:count", the main thread (the process's id) first.
    std::string PerThread() const
    {
        std::string list;
        for (const auto& [tid, last] : m_last) {
            const std::string item = tid + ":" + std::to_string(last - m_first.at(tid));
            if (tid == std::to_string(m_pid)) {
                list = item + (list.empty() ? "" : " " + list);
            } else {
                list += (list.empty() ? "" : " ") + item;
            }
        }
        return list;
    }

private:
    pid_t m_pid;
    std::map<std::string, int64_t> m_first;
    std::map<std::string, int64_t> m_last;
};

// The printer host the program started, or 0.
pid_t HostPid(pid_t pid)
{
    long child = 0;
    std::ifstream("/proc/" + std::to_string(pid) + "/task/" + std::to_string(pid) + "/children") >> child;
    return static_cast<pid_t>(child);
}

bool Answered200(const std::string& reply)
{
    return reply.find("<ResultCode>200</ResultCode>") != std::string::npos;
}

bool HttpOk(const std::string& reply)
{
    return reply.starts_with("HTTP/1.1 200 ");
}

// Sleeps until `until`, sampling the watches every 100 ms.
void SampleUntil(TClock::time_point until, TSwitchWatch& program, TSwitchWatch& host)
{
    while (TClock::now() < until) {
        std::this_thread::sleep_until(std::min(until, TClock::now() + 100ms));
        program.Sample();
        host.Sample();
    }
}

void PrintWindow(const char* what, const TTasks& before, const TTasks& after, const TSwitchWatch& program,
    const TSwitchWatch& host, size_t seconds)
{
    std::printf("%-20s %6.1f /s  (printer host %.1f /s)\n  threads before: %s; after: %s\n  switches per "
                "thread id: %s\n",
        what, static_cast<double>(program.Switches()) / static_cast<double>(seconds),
        static_cast<double>(host.Switches()) / static_cast<double>(seconds), before.List().c_str(),
        after.List().c_str(), program.PerThread().c_str());
}

void ContextSwitches(const std::string& binDir, size_t seconds)
{
    std::printf("\n== Context switches of the program, simulator without delay, %zu s each ==\n", seconds);
    TRun run(binDir, 0);
    // The first writes start the printer host and fault in the code paths.
    for (int i = 0; i < 5; ++i) {
        RunLoad(run.TcpPort, kWrite, 1, 1, false, Answered200);
    }
    std::this_thread::sleep_for(2s);
    const pid_t host = HostPid(run.Pid());
    const auto window = std::chrono::seconds(seconds);

    TTasks before = Tasks(run.Pid());
    {
        TSwitchWatch program(run.Pid());
        TSwitchWatch printerHost(host);
        SampleUntil(TClock::now() + window, program, printerHost);
        PrintWindow("idle", before, Tasks(run.Pid()), program, printerHost, seconds);
    }

    before = Tasks(run.Pid());
    TSwitchWatch program(run.Pid());
    TSwitchWatch printerHost(host);
    const auto start = TClock::now();
    size_t answered = 0;
    for (size_t i = 0; i < seconds; ++i) {
        SampleUntil(start + std::chrono::seconds(i), program, printerHost);
        answered += RunLoad(run.TcpPort, kWrite, 1, 1, false, Answered200).Answered;
    }
    SampleUntil(start + window, program, printerHost);
    PrintWindow("one write a second", before, Tasks(run.Pid()), program, printerHost, seconds);
    std::printf("writes answered 200: %zu of %zu\n", answered, seconds);
    std::printf("goal: at most 3 /s idle, at most 20 /s at one write a second\n");
    run.Program->Terminate(10s);
}

void QueuedThreads(const std::string& binDir)
{
    constexpr size_t kTcp = 5000;
    constexpr size_t kHttp = 200;
    constexpr int kDelayMs = 50;
    std::printf("\n== %zu TCP and %zu HTTP writes sent at once, simulator DelayMs=%d ==\n", kTcp, kHttp, kDelayMs);
    TRun run(binDir, kDelayMs);
    TTasks peak = Tasks(run.Pid());
    std::printf("threads at start: %s\n", peak.List().c_str());
    const auto sample = [&] {
        TTasks now = Tasks(run.Pid());
        if (now.Count() > peak.Count()) {
            peak = std::move(now);
        }
    };
    const std::string httpWrite = "POST /v1/cards/write HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Type: "
                                  "application/json\r\nContent-Length: "
        + std::to_string(kJsonWrite.size()) + "\r\n\r\n" + kJsonWrite;
    std::vector<TFileDescriptor> tcp;
    std::vector<TFileDescriptor> http;
    const auto start = TClock::now();
    // The listen queues are short; a client connecting faster than the
    // server takes connections loses attempts for a second each.
    for (size_t i = 0; i < kTcp + kHttp; ++i) {
        const bool overHttp = i >= kTcp;
        TFileDescriptor client = Connect(overHttp ? run.HttpPort : run.TcpPort);
        if (client.Valid()) {
            SendAll(client, overHttp ? httpWrite : kWrite);
        }
        (overHttp ? http : tcp).push_back(std::move(client));
        std::this_thread::sleep_for(500us);
        if (i % 100 == 0) {
            sample();
        }
    }
    const double sending = std::chrono::duration<double>(TClock::now() - start).count();
    for (int i = 0; i < 20; ++i) {
        std::this_thread::sleep_for(100ms);
        sample();
    }
    const int64_t rssKiB = ProcessStatusField("VmRSS", run.Pid());
    const auto signalled = TClock::now();
    const int exitCode = run.Program->Terminate(10s);
    const double exitSeconds = std::chrono::duration<double>(TClock::now() - signalled).count();

    size_t tcpAnswered = 0;
    for (const TFileDescriptor& client : tcp) {
        tcpAnswered += Answered200(Receive(client, 200ms)) ? 1 : 0;
    }
    std::map<std::string, size_t> httpStatus;
    for (const TFileDescriptor& client : http) {
        const std::string reply = Receive(client, 200ms);
        // A 503 for a full queue tells the client when to come back; one
        // for the stop does not.
        const bool busy = reply.find("Retry-After") != std::string::npos;
        ++httpStatus[reply.size() >= 12 ? reply.substr(9, 3) + (busy ? " busy" : "") : "none"];
    }
    std::string statuses;
    for (const auto& [status, n] : httpStatus) {
        statuses += " " + status + ": " + std::to_string(n);
    }
    std::printf("sent in %.1f s; peak threads %d (%s); RSS %.1f MiB\n", sending, peak.Count(), peak.List().c_str(),
        static_cast<double>(rssKiB) / 1024.0);
    std::printf("SIGTERM: exit code %d after %.2f s; TCP answered 200 before it: %zu; HTTP answers:%s\n", exitCode,
        exitSeconds, tcpAnswered, statuses.c_str());
    std::printf("goal: at most 6 threads besides the GUI's own\n");
}

void HeaderFlood(TRun& run)
{
    constexpr size_t kFlood = 48u << 20;
    std::printf("\n== %zu MiB of header lines on one HTTP connection ==\n", kFlood >> 20);
    const int64_t before = ProcessStatusField("VmRSS", run.Pid());
    int64_t peak = before;
    TFileDescriptor client = Connect(run.HttpPort);
    // A server that stops reading without closing must not hold the client.
    const timeval sendLimit {2, 0};
    setsockopt(client.get(), SOL_SOCKET, SO_SNDTIMEO, &sendLimit, sizeof sendLimit);
    std::string chunk;
    while (chunk.size() < 64 * 1024) {
        chunk += "X-Fill: " + std::string(1000, 'a') + "\r\n";
    }
    size_t sent = 0;
    bool taken = SendAll(client, "GET /v1/health HTTP/1.1\r\nHost: 127.0.0.1\r\n");
    while (taken && sent < kFlood) {
        taken = SendAll(client, chunk);
        sent += taken ? chunk.size() : 0;
        peak = std::max(peak, ProcessStatusField("VmRSS", run.Pid()));
    }
    const std::string reply = Receive(client, 1s);
    std::printf("sent %.1f MiB before the server %s; its answer: %s\n", static_cast<double>(sent) / (1 << 20),
        taken ? "(took all)" : "stopped taking bytes",
        reply.empty() ? "none" : reply.substr(0, reply.find('\r')).c_str());
    std::printf("RSS %.1f MiB before, peak %.1f MiB, growth %.2f MiB (goal < 32 MB)\n",
        static_cast<double>(before) / 1024.0, static_cast<double>(peak) / 1024.0,
        static_cast<double>(peak - before) / 1024.0);
}

void SlowClientsAndStop(TRun& run)
{
    constexpr size_t kSlow = 10;
    std::printf("\n== %zu HTTP clients sending a byte every 1.5 s; health beside them; then SIGTERM ==\n", kSlow);
    std::vector<TFileDescriptor> slow;
    for (size_t i = 0; i < kSlow; ++i) {
        slow.push_back(Connect(run.HttpPort));
    }
    std::atomic<bool> stop {false};
    std::atomic<size_t> open {kSlow};
    std::thread trickle([&] {
        std::vector<bool> alive(kSlow, true);
        for (size_t at = 0; at < kHealth.size() && !stop; ++at) {
            size_t stillOpen = 0;
            for (size_t i = 0; i < kSlow; ++i) {
                alive[i] = alive[i] && send(slow[i].get(), &kHealth[at], 1, MSG_NOSIGNAL) == 1;
                stillOpen += alive[i] ? 1 : 0;
            }
            open = stillOpen;
            for (int wait = 0; wait < 15 && !stop; ++wait) {
                std::this_thread::sleep_for(100ms);
            }
        }
    });
    std::this_thread::sleep_for(1s);
    std::vector<std::chrono::nanoseconds> times;
    size_t healthy = 0;
    for (int i = 0; i < 25; ++i) {
        const TLoadResult health = RunLoad(run.HttpPort, kHealth, 1, 1, true, HttpOk);
        healthy += health.Answered;
        times.insert(times.end(), health.Latencies.begin(), health.Latencies.end());
        std::this_thread::sleep_for(200ms);
    }
    std::sort(times.begin(), times.end());
    const auto ms = [](std::chrono::nanoseconds t) { return std::chrono::duration<double, std::milli>(t).count(); };
    std::printf("health: %zu of %zu answered 200, p50 %.2f ms, slowest %.2f ms (goal < 100 ms)\n", healthy,
        times.size(), ms(times[times.size() / 2]), ms(times.back()));

    const size_t openAtSignal = open;
    const auto signalled = TClock::now();
    const int exitCode = run.Program->Terminate(10s);
    const double seconds = std::chrono::duration<double>(TClock::now() - signalled).count();
    stop = true;
    trickle.join();
    std::printf("SIGTERM with %zu slow clients still sending: exit code %d after %.2f s (goal: within 5.5 s)\n",
        openAtSignal, exitCode, seconds);
}

} // namespace

void RunLoopBench(const std::string& binDir, size_t seconds)
{
    ContextSwitches(binDir, seconds);
    QueuedThreads(binDir);
    TRun run(binDir, 0);
    // The first answers fault in the HTTP path before memory is measured.
    RunLoad(run.HttpPort, kHealth, 1, 20, false, HttpOk);
    HeaderFlood(run);
    SlowClientsAndStop(run);
}
