#include "HostBench.h"

#include "ProcessStatus.h"
#include "SoakChecks.h"
#include "SoakProgram.h"

#include "base/ExecutablePath.h"
#include "base/PosixSocket.h"
#include "base/TextCodec.h"
#include "printer/PrinterHostLibrary.h"
#include "host/RCPV11VCDLL.h"
#include "member/TRWGII2010DMemberUnit.h"
#include "host/PrinterHostProtocol.h"

#include <QFileInfo>
#include <QTemporaryDir>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <thread>
#include <vector>

namespace {

using TClock = std::chrono::steady_clock;
namespace fs = std::filesystem;

// On tmpfs where there is one: the simulator replaces its state file
// (with fsync) at every call, which on a disk would drown what is measured.
std::unique_ptr<QTemporaryDir> ScratchFolder()
{
    if (QFileInfo(QStringLiteral("/dev/shm")).isDir()) {
        auto dir = std::make_unique<QTemporaryDir>(QStringLiteral("/dev/shm/member-bench-XXXXXX"));
        if (dir->isValid()) {
            return dir;
        }
    }
    auto dir = std::make_unique<QTemporaryDir>();
    if (!dir->isValid()) {
        throw std::runtime_error("cannot create a temporary folder");
    }
    return dir;
}

std::string Folder(const QTemporaryDir& dir)
{
    return dir.path().toStdString() + "/";
}

void WriteText(const std::string& path, const std::string& text)
{
    std::ofstream(path + ".new", std::ios::binary | std::ios::trunc) << text;
    fs::rename(path + ".new", path);
}

std::string ReadText(const std::string& path)
{
    std::stringstream text;
    text << std::ifstream(path, std::ios::binary).rdbuf();
    return text.str();
}

double Percentile(std::vector<double> values, double fraction)
{
    if (values.empty()) {
        return 0;
    }
    std::sort(values.begin(), values.end());
    const auto at = static_cast<size_t>(std::ceil(fraction * static_cast<double>(values.size()))) - 1;
    return values[std::min(at, values.size() - 1)];
}

double Microseconds(TClock::duration d)
{
    return std::chrono::duration<double, std::micro>(d).count();
}

// --- Side by side -----------------------------------------------------------

void SideBySide(size_t transactions)
{
    const auto dir = ScratchFolder();
    const std::string folder = Folder(*dir);
    const std::string bin = ExecutableDirectory();
    for (const char* file : {TRCPV11Library::FileName, PrinterHost::FileName}) {
        fs::copy_file(bin + file, folder + file, fs::copy_options::overwrite_existing);
    }
    TRCPV11Library inProgram(folder + TRCPV11Library::FileName);
    TPrinterHostSettings settings;
    settings.HostPath = folder + PrinterHost::FileName;
    TPrinterHostLibrary inHost(settings);
    if (!inProgram.Loaded() || !inHost.Loaded() || !inHost.IsSimulator()) {
        throw std::runtime_error("the simulator could not be loaded: " + inProgram.LoadError() + inHost.LoadError());
    }
    TTRWGII2010DMember local(inProgram);
    TTRWGII2010DMember isolated(inHost);
    if (!local.OpenPort() || !isolated.OpenPort()) {
        throw std::runtime_error("the simulator's port did not open");
    }

    const struct {
        const char* Name;
        std::function<bool(TTRWGII2010DMember&)> Run;
    } operations[] = {
        {"write", [](TTRWGII2010DMember& d) { return d.WriteCard("00012345", "", "", "", 0); }},
        {"read",
            [](TTRWGII2010DMember& d) {
                std::string card, password, expire, guest, score;
                return d.ReadCard(false, card, password, expire, guest, score, 0);
            }},
    };
    std::printf("\n== Printer host: one card transaction (3 library calls), simulator without delay, %zu each ==\n",
        transactions);
    std::printf("state files in %s\n", dir->path().toUtf8().constData());
    std::printf("%-6s %12s %12s %12s %12s %14s %14s\n", "", "in prog p50", "in prog p99", "in host p50", "in host p99",
        "added p50 (us)", "added p99 (us)");
    for (const auto& operation : operations) {
        std::vector<double> here;
        std::vector<double> there;
        std::vector<double> added;
        const auto time = [&](TTRWGII2010DMember& device) {
            const auto start = TClock::now();
            if (!operation.Run(device)) {
                throw std::runtime_error(std::string("a ") + operation.Name + " failed");
            }
            return Microseconds(TClock::now() - start);
        };
        for (size_t i = 0; i < transactions / 10 + 10; ++i) {
            time(local);
            time(isolated);
        }
        // Side by side, taking turns at going first.
        for (size_t i = 0; i < transactions; ++i) {
            double a = 0;
            double b = 0;
            if (i % 2 == 0) {
                a = time(local);
                b = time(isolated);
            } else {
                b = time(isolated);
                a = time(local);
            }
            here.push_back(a);
            there.push_back(b);
            added.push_back(b - a);
        }
        std::printf("%-6s %12.1f %12.1f %12.1f %12.1f %14.1f %14.1f\n", operation.Name, Percentile(here, 0.5),
            Percentile(here, 0.99), Percentile(there, 0.5), Percentile(there, 0.99), Percentile(added, 0.5),
            Percentile(added, 0.99));
    }
    local.ClosePort();
    isolated.ClosePort();
}

// --- The real program -------------------------------------------------------

// One request on a connection of its own; what came back until the server
// closed, "" when it could not connect, "?" when nothing ended in 60 s.
std::string Exchange(uint16_t port, const std::string& bytes)
{
    TFileDescriptor socket = TcpSocket();
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(socket.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0
        || !SendAll(socket, bytes)) {
        return {};
    }
    std::string reply;
    char buffer[1024];
    const auto deadline = TClock::now() + std::chrono::seconds(60);
    while (TClock::now() < deadline) {
        pollfd ready {socket.get(), POLLIN, 0};
        if (poll(&ready, 1, 100) <= 0) {
            continue;
        }
        const ssize_t n = recv(socket.get(), buffer, sizeof buffer, 0);
        if (n <= 0) {
            return reply;
        }
        reply.append(buffer, static_cast<size_t>(n));
    }
    return "?";
}

std::string WriteRequest(size_t i)
{
    char cardNo[16];
    std::snprintf(cardNo, sizeof cardNo, "%08zu", i);
    std::string request = std::string("<Request type=\"WriteMemberCard\"><RequestID>1</RequestID><CardNo>") + cardNo
        + "</CardNo><ExpireDate>2027-12-31</ExpireDate><GuestName>Q</GuestName><Score>1</Score></Request>";
    request.push_back('\0');
    return request;
}

std::string ResultCode(const std::string& reply)
{
    const size_t start = reply.find("<ResultCode>");
    const size_t end = reply.find("</ResultCode>");
    if (start == std::string::npos || end == std::string::npos || end < start) {
        return {};
    }
    return reply.substr(start + 12, end - start - 12);
}

size_t CountInLog(const TSoakProgram& program, const std::string& utf8)
{
    const std::string log = ReadText(program.LogPath());
    const std::string gbk = Gbk(utf8);
    size_t count = 0;
    for (size_t at = log.find(gbk); at != std::string::npos; at = log.find(gbk, at + 1)) {
        ++count;
    }
    return count;
}

struct TProcessFigures {
    int64_t RssKiB = -1;
    int64_t Threads = -1;
    int64_t Descriptors = -1;
    // Child processes, and those of them ended but not collected.
    int64_t Children = 0;
    int64_t Zombies = 0;

    // The least of a few readings a little apart: a log file or a closing
    // connection may hold a descriptor for a moment.
    static TProcessFigures Settled(pid_t pid)
    {
        TProcessFigures least = Of(pid);
        for (int i = 0; i < 4; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            const TProcessFigures now = Of(pid);
            least.RssKiB = std::min(least.RssKiB, now.RssKiB);
            least.Threads = std::min(least.Threads, now.Threads);
            least.Descriptors = std::min(least.Descriptors, now.Descriptors);
            least.Children = std::min(least.Children, now.Children);
            least.Zombies = std::min(least.Zombies, now.Zombies);
        }
        return least;
    }

    static TProcessFigures Of(pid_t pid)
    {
        TProcessFigures f;
        f.RssKiB = ProcessStatusField("VmRSS", pid);
        f.Threads = ProcessStatusField("Threads", pid);
        std::error_code error;
        f.Descriptors = static_cast<int64_t>(std::distance(
            fs::directory_iterator("/proc/" + std::to_string(pid) + "/fd", error), fs::directory_iterator()));
        for (const auto& entry : fs::directory_iterator("/proc", error)) {
            const std::string stat = ReadText(entry.path().string() + "/stat");
            const size_t close = stat.rfind(')');
            if (close == std::string::npos) {
                continue;
            }
            std::istringstream fields(stat.substr(close + 2));
            char state = '?';
            pid_t parent = 0;
            fields >> state >> parent;
            if (parent == pid) {
                ++f.Children;
                f.Zombies += state == 'Z' ? 1 : 0;
            }
        }
        return f;
    }
};

void CrashEveryTenth(size_t writes, TSoakChecks& checks)
{
    const auto dir = ScratchFolder();
    const std::string run = Folder(*dir);
    const uint16_t port = FreePort();
    TSoakProgram program(ExecutableDirectory(), run, port, 0);
    WriteText(run + "CardPrinter.ini",
        "[Card]\r\nPresent=1\r\nBlock1=00000000\r\n[Faults]\r\nCrash=RfidCardRequestAndWriteData\r\nCrashEvery=10\r\n");
    if (!program.WaitUntilListening(std::chrono::seconds(20))) {
        throw std::runtime_error("the program did not listen");
    }
    std::printf("\n== Printer host: %zu writes, the library crashing in every tenth ==\n", writes);
    size_t ok = 0;
    size_t failed = 0;
    size_t unanswered = 0;
    TProcessFigures early;
    const auto start = TClock::now();
    for (size_t i = 1; i <= writes; ++i) {
        const std::string code = ResultCode(Exchange(port, WriteRequest(i)));
        ok += code == "200" ? 1 : 0;
        failed += code == "500" ? 1 : 0;
        unanswered += code.empty() ? 1 : 0;
        // After the first tenth, when everything that stays has been made.
        if (i == writes / 10) {
            early = TProcessFigures::Settled(program.Pid());
        }
    }
    const double seconds = std::chrono::duration<double>(TClock::now() - start).count();
    const TProcessFigures late = TProcessFigures::Settled(program.Pid());
    const bool alive = waitpid(program.Pid(), nullptr, WNOHANG) == 0;
    const size_t crashes = CountInLog(program, "打印机库崩溃:RfidCardRequestAndWriteData,");
    std::printf("%zu writes in %.1f s: %zu answered 200, %zu answered 500, %zu unanswered\n", writes, seconds, ok,
        failed, unanswered);
    std::printf("crash lines in the log: %zu (each one a host ended and the next call's host started)\n", crashes);
    std::printf("%-22s %10s %10s %12s %10s %8s\n", "program", "RSS (KiB)", "threads", "descriptors", "children",
        "zombies");
    std::printf("%-22s %10lld %10lld %12lld %10lld %8lld\n", "after the first tenth", (long long)early.RssKiB,
        (long long)early.Threads, (long long)early.Descriptors, (long long)early.Children, (long long)early.Zombies);
    std::printf("%-22s %10lld %10lld %12lld %10lld %8lld\n", "at the end", (long long)late.RssKiB,
        (long long)late.Threads, (long long)late.Descriptors, (long long)late.Children, (long long)late.Zombies);
    checks.Expect(alive, "the program still runs");
    checks.Expect(ok + failed == writes, "every write answered");
    checks.Expect(failed == writes / 10, "one in ten answered 500");
    checks.Expect(crashes == writes / 10, "a crash line for each, and a new host after each");
    checks.Expect(late.Descriptors == early.Descriptors, "descriptors flat");
    checks.Expect(late.Children == 1 && late.Zombies == 0, "one host running, none left uncollected");
    // Heap growth settles within a few hundred KiB; a leak per crash would
    // show in tens of MiB here.
    checks.Expect(late.RssKiB - early.RssKiB < 2048, "memory flat (within 2 MiB)");
    const int code = program.Terminate(std::chrono::seconds(20));
    checks.Expect(code == 0, "SIGTERM afterwards ends it with exit code 0");
}

// SIGTERM half a second into a write that hangs in the library. Without a
// delay the write's own time-out (5 s) ends it first; with a 4 s delay on
// every call the stop's five-second wait runs out first and the stop gives
// the call up.
void StopDuringAHang(int delayMs, const char* logLine, TSoakChecks& checks)
{
    const auto dir = ScratchFolder();
    const std::string run = Folder(*dir);
    const uint16_t port = FreePort();
    TSoakProgram program(ExecutableDirectory(), run, port, 0);
    WriteText(run + "CardPrinter.ini",
        "[Card]\r\nPresent=1\r\n[Faults]\r\nDelayMs=" + std::to_string(delayMs)
            + "\r\nHang=RfidCardRequestAndWriteData\r\n");
    if (!program.WaitUntilListening(std::chrono::seconds(20))) {
        throw std::runtime_error("the program did not listen");
    }
    std::string reply;
    std::thread client([&] { reply = Exchange(port, WriteRequest(1)); });
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    const auto start = TClock::now();
    const int code = program.Terminate(std::chrono::seconds(30));
    const double seconds = std::chrono::duration<double>(TClock::now() - start).count();
    client.join();
    std::printf("delay %d ms per call: exit %.2f s after SIGTERM, exit code %d, the write answered %s\n", delayMs,
        seconds, code, ResultCode(reply).empty() ? "nothing" : ResultCode(reply).c_str());
    checks.Expect(code == 0 && seconds < 8, "ends within 8 s with exit code 0");
    checks.Expect(CountInLog(program, logLine) == 1, std::string("the log says: ") + logLine);
}

} // namespace

bool RunHostBench(size_t transactions, size_t crashWrites)
{
    SideBySide(transactions);
    TSoakChecks checks;
    CrashEveryTenth(crashWrites, checks);
    std::printf("\n== Printer host: SIGTERM 0.5 s into a write that hangs in the library ==\n");
    StopDuringAHang(0, "打印机库无响应:RfidCardRequestAndWriteData,5015毫秒未返回", checks);
    StopDuringAHang(4000, "打印机库无响应:RfidCardRequestAndWriteData,停止时放弃", checks);
    return !checks.Failed();
}
