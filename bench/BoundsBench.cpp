#include "BoundsBench.h"

#include "ProcessStatus.h"
#include "SoakProgram.h"

#include "base/PosixSocket.h"

#include <QTemporaryDir>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <stdexcept>
#include <thread>
#include <vector>

namespace {

using TClock = std::chrono::steady_clock;

constexpr size_t kFloodBytes = 100 * 1024 * 1024;
constexpr size_t kFloodConnections = 50;

sockaddr_in Loopback(uint16_t port)
{
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

TFileDescriptor Connect(uint16_t port)
{
    TFileDescriptor s = TcpSocket();
    const sockaddr_in address = Loopback(port);
    if (s.get() < 0 || connect(s.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        return TFileDescriptor();
    }
    return s;
}

// Everything until the server closes.
std::string ReceiveAll(const TFileDescriptor& s)
{
    std::string reply;
    char buffer[4096];
    for (;;) {
        const ssize_t n = recv(s.get(), buffer, sizeof buffer, 0);
        if (n <= 0) {
            return reply;
        }
        reply.append(buffer, static_cast<size_t>(n));
    }
}

enum class TFlood { Trailer, ChunkSize };

// A chunked card write whose last chunk is followed by trailer lines, or
// whose first chunk-size line goes on in digits, up to kFloodBytes or until
// the server closes; the status the server answered with.
std::string Flood(uint16_t port, TFlood kind)
{
    const TFileDescriptor s = Connect(port);
    if (s.get() < 0) {
        return "no connection";
    }
    // A small send buffer: on loopback the client's own copying into a
    // large one would take the CPU the figures are about.
    const int sendBuffer = 64 * 1024;
    setsockopt(s.get(), SOL_SOCKET, SO_SNDBUF, &sendBuffer, sizeof sendBuffer);
    std::string head = "POST /v1/cards/write HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Type: application/json\r\n"
                       "Transfer-Encoding: chunked\r\n\r\n";
    std::string block;
    if (kind == TFlood::Trailer) {
        head += "2\r\n{}\r\n0\r\n";
        while (block.size() < 64 * 1024) {
            block += "X-Trailer: " + std::string(50, 't') + "\r\n";
        }
    } else {
        block.assign(64 * 1024, '0');
    }
    if (SendAll(s, head)) {
        for (size_t sent = 0; sent < kFloodBytes && SendAll(s, block);) {
            sent += block.size();
        }
    }
    const std::string reply = ReceiveAll(s);
    return reply.starts_with("HTTP/1.1 ") ? reply.substr(9, 3) : "none";
}

// Health asked one connection at a time until told to stop; each round
// trip's time.
class THealthProbe {
public:
    explicit THealthProbe(uint16_t port)
        : m_thread([this, port] { Run(port); })
    {
    }
    ~THealthProbe() { Stop(); }

    std::vector<double> Stop()
    {
        m_stop = true;
        if (m_thread.joinable()) {
            m_thread.join();
        }
        return m_milliseconds;
    }

private:
    void Run(uint16_t port)
    {
        const std::string request = "GET /v1/health HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";
        while (!m_stop) {
            const auto start = TClock::now();
            const TFileDescriptor s = Connect(port);
            if (s.get() >= 0 && SendAll(s, request) && ReceiveAll(s).starts_with("HTTP/1.1 ")) {
                m_milliseconds.push_back(std::chrono::duration<double, std::milli>(TClock::now() - start).count());
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }

    std::atomic<bool> m_stop {false};
    std::vector<double> m_milliseconds;
    std::thread m_thread;
};

double Percentile(std::vector<double> values, double share)
{
    if (values.empty()) {
        return 0;
    }
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, static_cast<size_t>(share * static_cast<double>(values.size())))];
}

// Trailers and chunk-size lines by turns.
std::vector<TFlood> Mixed(size_t count)
{
    std::vector<TFlood> floods;
    for (size_t i = 0; i < count; ++i) {
        floods.push_back(i % 2 == 0 ? TFlood::Trailer : TFlood::ChunkSize);
    }
    return floods;
}

double MiB(int64_t kib)
{
    return static_cast<double>(kib) / 1024.0;
}

void RunFloods(const std::string& binDir)
{
    std::printf("\n== HTTP floods against the built program (simulator), health asked meanwhile ==\n");
    QTemporaryDir dir;
    const uint16_t port = FreePort();
    const uint16_t httpPort = FreePort();
    TSoakProgram program(binDir, dir.path().toStdString(), port, 0,
        "[HttpOption]\r\nEnabled=1\r\nPort=" + std::to_string(httpPort) + "\r\n");
    if (!program.WaitUntilListening(std::chrono::seconds(20))) {
        throw std::runtime_error("the program did not listen");
    }
    for (int i = 0; i < 200 && Connect(httpPort).get() < 0; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    std::printf("%-34s %7s %8s %10s %11s %8s %10s %8s %8s\n", "flood", "floods", "status", "RSS +MiB",
        "after +MiB", "health", "p50 ms", "p99", "max");
    // The fifty come in rounds, all at once, for a few seconds: long enough
    // for health to be asked often.
    const struct {
        const char* name;
        std::vector<TFlood> floods;
        std::chrono::seconds during;
    } scenarios[] = {
        {"one 100 MB trailer", {TFlood::Trailer}, std::chrono::seconds(0)},
        {"one endless chunk-size line", {TFlood::ChunkSize}, std::chrono::seconds(0)},
        {"50 at once, either, rounds for 5 s", Mixed(kFloodConnections), std::chrono::seconds(5)},
    };
    for (const auto& scenario : scenarios) {
        const std::vector<TFlood>& floods = scenario.floods;
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        const int64_t before = ProcessStatusField("VmRSS", program.Pid());
        THealthProbe probe(httpPort);
        const auto until = TClock::now() + scenario.during;
        std::vector<std::string> results;
        int64_t peak = before;
        do {
            std::vector<std::string> round(floods.size());
            std::atomic<size_t> running {floods.size()};
            std::vector<std::thread> clients;
            for (size_t i = 0; i < floods.size(); ++i) {
                clients.emplace_back([&, i] {
                    round[i] = Flood(httpPort, floods[i]);
                    --running;
                });
            }
            while (running > 0) {
                peak = std::max(peak, ProcessStatusField("VmRSS", program.Pid()));
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            }
            for (std::thread& client : clients) {
                client.join();
            }
            results.insert(results.end(), round.begin(), round.end());
        } while (TClock::now() < until);
        const std::vector<double> health = probe.Stop();
        std::this_thread::sleep_for(std::chrono::seconds(1));
        const int64_t after = ProcessStatusField("VmRSS", program.Pid());
        std::string statuses;
        for (const std::string& status : results) {
            if (statuses.find(status) == std::string::npos) {
                statuses += (statuses.empty() ? "" : "/") + status;
            }
        }
        std::printf("%-34s %7zu %8s %10.2f %11.2f %8zu %10.2f %8.2f %8.2f\n", scenario.name, results.size(),
            statuses.c_str(), MiB(peak - before), MiB(after - before), health.size(),
            Percentile(health, 0.5), Percentile(health, 0.99), Percentile(health, 1.0));
    }
    program.Terminate(std::chrono::seconds(10));
}

// A write with a card number and a print with a content as long as a
// request may carry them.
std::string LongRequest(bool write)
{
    std::string request;
    if (write) {
        request = "<Request type=\"WriteMemberCard\"><RequestID>1</RequestID><CardNo>" + std::string(15000, '9')
            + "</CardNo><ExpireDate/><GuestName/><Score/></Request>";
    } else {
        request = "<Request type=\"PrintMemberCard\"><RequestID>1</RequestID><CardNo>1</CardNo><Content>"
            + std::string(8000, 'c') + "</Content></Request>";
    }
    request.push_back('\0');
    return request;
}

void RunLogBound(const std::string& binDir, unsigned seconds)
{
    constexpr unsigned kClients = 16;
    std::printf("\n== LogMaxMB=1: %u clients send 15 KB card numbers and 8 KB print contents for %u s "
                "(simulator, no delay) ==\n",
        kClients, seconds);
    QTemporaryDir dir;
    const uint16_t port = FreePort();
    TSoakProgram program(binDir, dir.path().toStdString(), port, 0, "LogMaxMB=1\r\n");
    if (!program.WaitUntilListening(std::chrono::seconds(20))) {
        throw std::runtime_error("the program did not listen");
    }
    const auto end = TClock::now() + std::chrono::seconds(seconds);
    std::atomic<size_t> answered {0};
    std::vector<std::thread> clients;
    for (unsigned c = 0; c < kClients; ++c) {
        clients.emplace_back([&, c] {
            for (size_t i = c; TClock::now() < end; ++i) {
                const TFileDescriptor s = Connect(port);
                if (s.get() >= 0 && SendAll(s, LongRequest(i % 2 == 0)) && !ReceiveAll(s).empty()) {
                    ++answered;
                }
            }
        });
    }
    for (std::thread& client : clients) {
        client.join();
    }
    program.Terminate(std::chrono::seconds(10));
    const auto bytes = std::filesystem::file_size(program.LogPath());
    std::printf("%zu requests answered; the day's log ends at %.2f MB (%.0f bytes a request on average)\n",
        answered.load(), static_cast<double>(bytes) / 1e6,
        answered > 0 ? static_cast<double>(bytes) / static_cast<double>(answered) : 0.0);
}

} // namespace

void RunBoundsBench(const std::string& binDir, unsigned logSeconds)
{
    RunFloods(binDir);
    RunLogBound(binDir, logSeconds);
}
