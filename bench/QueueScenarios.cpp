#include "QueueScenarios.h"

#include "ProcessStatus.h"
#include "SoakChecks.h"
#include "SoakProgram.h"

#include "base/PosixSocket.h"
#include "base/TextCodec.h"

#include <QTemporaryDir>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdio>
#include <fstream>
#include <functional>
#include <sstream>
#include <thread>
#include <vector>

namespace {

using TClock = std::chrono::steady_clock;
constexpr int kDelayMs = 50;

std::string CardNo(size_t i)
{
    char text[16];
    std::snprintf(text, sizeof text, "%06zu", i);
    return text;
}

std::string WriteRequest(size_t i)
{
    std::string request = "<Request type=\"WriteMemberCard\"><RequestID>1</RequestID><CardNo>" + CardNo(i)
        + "</CardNo><ExpireDate>2027-12-31</ExpireDate><GuestName>Q</GuestName><Score>1</Score></Request>";
    request.push_back('\0');
    return request;
}

TFileDescriptor Send(uint16_t port, const std::string& bytes)
{
    TFileDescriptor socket = TcpSocket();
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(socket.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0
        || send(socket.get(), bytes.data(), bytes.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(bytes.size())) {
        return TFileDescriptor();
    }
    return socket;
}

// What arrived until the server closed; "?" when it did not within 30 s.
std::string Receive(const TFileDescriptor& socket)
{
    std::string bytes;
    char buffer[1024];
    const auto deadline = TClock::now() + std::chrono::seconds(30);
    while (socket.Valid() && TClock::now() < deadline) {
        pollfd ready {socket.get(), POLLIN, 0};
        if (poll(&ready, 1, 100) <= 0) {
            continue;
        }
        const ssize_t n = recv(socket.get(), buffer, sizeof buffer, 0);
        if (n <= 0) {
            return bytes;
        }
        bytes.append(buffer, static_cast<size_t>(n));
    }
    return "?";
}

// The log's lines, as GBK bytes.
std::vector<std::string> LogLines(const TSoakProgram& program)
{
    std::ifstream in(program.LogPath(), std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    std::vector<std::string> lines;
    std::string line;
    while (std::getline(text, line)) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        lines.push_back(line);
    }
    return lines;
}

size_t CountContaining(const std::vector<std::string>& lines, const std::string& gbk)
{
    return static_cast<size_t>(
        std::count_if(lines.begin(), lines.end(), [&](const std::string& l) { return l.find(gbk) != std::string::npos; }));
}

// Waits, boundedly, until the log satisfies the condition.
bool LogReaches(const TSoakProgram& program, const std::function<bool(const std::vector<std::string>&)>& done,
    std::chrono::seconds limit = std::chrono::seconds(60))
{
    const auto deadline = TClock::now() + limit;
    while (TClock::now() < deadline) {
        if (done(LogLines(program))) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return false;
}

// The simulator reads the file at every call, and keeps the card's state in
// it too (a card taken in stays "Inside" until it is ejected): only the
// delay's line changes, and the file is replaced in one step. A card state
// written right between reading and replacing would still be lost; the
// simulator writes once after each 50 ms call, so that window is tiny.
void SetDelay(const std::string& runDir, int delayMs)
{
    const std::string path = runDir + "/CardPrinter.ini";
    std::stringstream text;
    text << std::ifstream(path, std::ios::binary).rdbuf();
    std::string ini = text.str();
    const std::string key = "DelayMs=";
    const size_t at = ini.find(key);
    const size_t end = ini.find("\r\n", at);
    if (at == std::string::npos || end == std::string::npos) {
        return;
    }
    ini.replace(at + key.size(), end - at - key.size(), std::to_string(delayMs));
    std::ofstream(path + ".new", std::ios::binary | std::ios::trunc) << ini;
    std::rename((path + ".new").c_str(), path.c_str());
}

// The listen queue holds 15 connections; a client that connects faster
// than the server can take them loses its attempts for a second each.
void Pace()
{
    std::this_thread::sleep_for(std::chrono::microseconds(500));
}

struct TPeak {
    int64_t Threads = 0;
    int64_t RssKiB = 0;
    void Sample(pid_t pid)
    {
        Threads = std::max(Threads, ProcessStatusField("Threads", pid));
        RssKiB = std::max(RssKiB, ProcessStatusField("VmRSS", pid));
    }
};

void QueueOfWrites(const std::string& binDir, size_t queued, TSoakChecks& checks)
{
    std::printf("\n== %zu writes queued at once (DelayMs=%d) ==\n", queued, kDelayMs);
    QTemporaryDir dir;
    const std::string runDir = dir.path().toStdString();
    const uint16_t port = FreePort();
    TSoakProgram program(binDir, runDir, port, kDelayMs);
    checks.Expect(program.WaitUntilListening(std::chrono::seconds(20)), "the program listens");
    TPeak peak;
    std::vector<TFileDescriptor> clients;
    const auto start = TClock::now();
    for (size_t i = 0; i < queued; ++i) {
        clients.push_back(Send(port, WriteRequest(i)));
        Pace();
        if (i % 100 == 0) {
            peak.Sample(program.Pid());
        }
    }
    const std::string received = Gbk("收到消息: ");
    LogReaches(program, [&](const std::vector<std::string>& lines) {
        peak.Sample(program.Pid());
        return CountContaining(lines, received) == queued;
    });
    peak.Sample(program.Pid());
    const double queuedAfter = std::chrono::duration<double>(TClock::now() - start).count();
    // The queue is full; let the printer go fast so it drains in seconds.
    SetDelay(runDir, 0);
    size_t answered = 0;
    for (const TFileDescriptor& client : clients) {
        answered += Receive(client).find("<ResultCode>200</ResultCode>") != std::string::npos ? 1 : 0;
    }

    // Arrival order is the order of the card numbers in the arrival entries;
    // each write's outcome entry must come in the same order.
    std::vector<std::string> arrivals;
    std::vector<std::string> outcomes;
    const std::string written = Gbk("写卡成功,卡号为:");
    for (const std::string& line : LogLines(program)) {
        const size_t at = line.find("<CardNo>");
        if (at != std::string::npos) {
            arrivals.push_back(line.substr(at + 8, 6));
        } else if (line.find(written) != std::string::npos) {
            outcomes.push_back(line.substr(line.find(written) + written.size()));
        }
    }
    std::printf("all queued after %.1f s; peak threads %lld, peak RSS %.1f MiB; %zu answered\n", queuedAfter,
        static_cast<long long>(peak.Threads), static_cast<double>(peak.RssKiB) / 1024.0, answered);
    checks.Expect(peak.Threads <= 8, "threads never above 8");
    checks.Expect(peak.RssKiB < 120 * 1024, "RSS under 120 MiB");
    checks.Expect(answered == queued, "every write answered");
    checks.Expect(arrivals.size() == queued && outcomes == arrivals, "served in arrival order");
    checks.Expect(program.Terminate(std::chrono::seconds(10)) == 0, "SIGTERM ends it with exit code 0");
}

void StopWithWritesQueued(const std::string& binDir, TSoakChecks& checks)
{
    constexpr size_t kQueued = 200;
    std::printf("\n== SIGTERM with %zu writes queued (DelayMs=%d) ==\n", kQueued, kDelayMs);
    QTemporaryDir dir;
    const uint16_t port = FreePort();
    TSoakProgram program(binDir, dir.path().toStdString(), port, kDelayMs);
    checks.Expect(program.WaitUntilListening(std::chrono::seconds(20)), "the program listens");
    std::vector<TFileDescriptor> clients;
    for (size_t i = 0; i < kQueued; ++i) {
        clients.push_back(Send(port, WriteRequest(i)));
        Pace();
    }
    const std::string received = Gbk("收到消息: ");
    const std::string written = Gbk("写卡成功,卡号为:");
    LogReaches(program, [&](const std::vector<std::string>& lines) {
        return CountContaining(lines, received) == kQueued && CountContaining(lines, written) >= 1;
    });
    const size_t writtenBefore = CountContaining(LogLines(program), written);
    const auto signalled = TClock::now();
    const int exitCode = program.Terminate(std::chrono::seconds(30));
    const double seconds = std::chrono::duration<double>(TClock::now() - signalled).count();
    size_t answered = 0;
    size_t silent = 0;
    for (const TFileDescriptor& client : clients) {
        const std::string reply = Receive(client);
        answered += reply.find("<ResultCode>200</ResultCode>") != std::string::npos ? 1 : 0;
        silent += reply.empty() ? 1 : 0;
    }
    const std::vector<std::string> lines = LogLines(program);
    const size_t writtenAfter = CountContaining(lines, written) - writtenBefore;
    const size_t dropped = CountContaining(lines, Gbk("服务器停止,请求未执行."));
    std::printf("exit code %d after %.2f s; %zu cards written after the signal; %zu answered, %zu closed without a "
                "byte, %zu drop lines\n",
        exitCode, seconds, writtenAfter, answered, silent, dropped);
    checks.Expect(exitCode == 0 && seconds < 5.5, "exit code 0 within 5.5 s");
    checks.Expect(writtenAfter <= 1, "at most the running transaction after the signal");
    checks.Expect(answered + silent == kQueued && dropped == silent, "every other client closed without a byte, "
                                                                     "one drop line each");
    checks.Expect(!lines.empty() && lines.back().find(Gbk("串口关闭成功.")) != std::string::npos,
        "the log ends with the port's closing line");
}

void ClientsResettingWhileQueued(const std::string& binDir, TSoakChecks& checks)
{
    constexpr size_t kResets = 50;
    std::printf("\n== %zu clients reset right after sending, behind a slow write (DelayMs=%d) ==\n", kResets,
        kDelayMs);
    QTemporaryDir dir;
    const uint16_t port = FreePort();
    TSoakProgram program(binDir, dir.path().toStdString(), port, kDelayMs);
    checks.Expect(program.WaitUntilListening(std::chrono::seconds(20)), "the program listens");
    const TFileDescriptor slow = Send(port, WriteRequest(999999));
    for (size_t i = 0; i < kResets; ++i) {
        Pace();
        TFileDescriptor client = Send(port, WriteRequest(i));
        const linger reset {1, 0};
        setsockopt(client.get(), SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
    }
    const std::string gone = Gbk("客户端已断开,请求未执行.");
    const bool allDropped = LogReaches(program,
        [&](const std::vector<std::string>& lines) { return CountContaining(lines, gone) == kResets; },
        std::chrono::seconds(30));
    checks.Expect(Receive(slow).find("<ResultCode>200</ResultCode>") != std::string::npos, "the slow write is answered");
    const std::vector<std::string> lines = LogLines(program);
    const size_t transactions = CountContaining(lines, Gbk("写数据块成功.卡号:"));
    std::printf("%zu drop lines, %zu card transactions\n", CountContaining(lines, gone), transactions);
    checks.Expect(allDropped && transactions == 1, "no device call for any of them");
    program.Terminate(std::chrono::seconds(10));
}

} // namespace

bool RunQueueScenarios(const std::string& binDir, size_t queued)
{
    TSoakChecks checks;
    QueueOfWrites(binDir, queued, checks);
    StopWithWritesQueued(binDir, checks);
    ClientsResettingWhileQueued(binDir, checks);
    return !checks.Failed();
}
