#include "BoundsBench.h"
#include "HandlerBench.h"
#include "HostBench.h"
#include "WineBench.h"
#include "HttpBench.h"
#include "IdleBench.h"
#include "IdleHolder.h"
#include "LoopBench.h"
#include "RecoveryBench.h"
#include "ThroughputBench.h"

#include "base/ExecutablePath.h"
#include "base/SocketPlatform.h"
#include "listener/RequestListener.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <set>
#include <string>
#include <sys/utsname.h>
#include <thread>

namespace {

constexpr const char* kUsage = R"(Usage: member-bench [throughput] [idle] [handler] [http] [host] [recovery] [loop] [bounds] [wine] [OPTION]...
Measures the member-card interface on 127.0.0.1 and prints the figures;
with no benchmark named, runs them all.

  --requests N   requests per throughput and http run (default 4000)
  --rounds N     throughput rounds, the median is shown (default 3)
  --idle N       idle connections to hold (default 10000)
  --timed N      requests timed while they are held (default 200)
  --handler N    handler iterations per request type (default 20000)
  --host N       card transactions per type through the printer host and
                 in the program, side by side (default 2000)
  --crash N      writes to the program whose library crashes in every
                 tenth (default 1000)
  --loop-seconds N  each context-switch window of the loop benchmark, which
                 runs the built program headless on the simulator (default 20)
  --log-seconds N  how long the bounds benchmark's clients send long values
                 to a program with LogMaxMB=1 (default 20)
  --windows-bin DIR  the Windows build's bin folder for the wine benchmark
                 (default: build-win32/bin beside this build's folder)
  --wine N       writes through the Windows host under Wine and the native
                 host, side by side (default 500)
)";

size_t Count(const char* text, const char* option)
{
    char* end = nullptr;
    const unsigned long long value = std::strtoull(text, &end, 10);
    if (*text == '\0' || *end != '\0' || value == 0 || value > 1000000) {
        std::fprintf(stderr, "member-bench: invalid %s '%s'\n", option, text);
        std::exit(64);
    }
    return static_cast<size_t>(value);
}

void PrintMachine()
{
    utsname system {};
    uname(&system);
    std::printf("machine: %s %s, %u hardware threads\n", system.sysname, system.release,
        std::thread::hardware_concurrency());
}

} // namespace

int main(int argc, char* argv[])
{
    std::set<std::string> chosen;
    size_t requests = 4000;
    size_t rounds = 3;
    size_t idle = 10000;
    size_t timed = 200;
    size_t handlerIterations = 20000;
    size_t hostTransactions = 2000;
    size_t crashWrites = 1000;
    size_t loopSeconds = 20;
    size_t logSeconds = 20;
    size_t wineTransactions = 500;
    std::string windowsBin = ExecutableDirectory() + "../../build-win32/bin";
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "throughput" || arg == "idle" || arg == "handler" || arg == "http" || arg == "host"
            || arg == "recovery" || arg == "loop" || arg == "bounds" || arg == "wine") {
            chosen.insert(arg);
        } else if (arg == "--requests" && hasValue) {
            requests = Count(argv[++i], "request count");
        } else if (arg == "--rounds" && hasValue) {
            rounds = Count(argv[++i], "round count");
        } else if (arg == "--idle" && hasValue) {
            idle = Count(argv[++i], "idle connection count");
        } else if (arg == "--timed" && hasValue) {
            timed = Count(argv[++i], "timed request count");
        } else if (arg == "--handler" && hasValue) {
            handlerIterations = Count(argv[++i], "iteration count");
        } else if (arg == "--host" && hasValue) {
            hostTransactions = Count(argv[++i], "transaction count");
        } else if (arg == "--crash" && hasValue) {
            crashWrites = Count(argv[++i], "write count");
        } else if (arg == "--loop-seconds" && hasValue) {
            loopSeconds = Count(argv[++i], "second count");
        } else if (arg == "--windows-bin" && hasValue) {
            windowsBin = argv[++i];
        } else if (arg == "--wine" && hasValue) {
            wineTransactions = Count(argv[++i], "write count");
        } else if (arg == "--log-seconds" && hasValue) {
            logSeconds = Count(argv[++i], "second count");
        } else if (arg == "--help" || arg == "-h") {
            std::printf("%s", kUsage);
            return 0;
        } else {
            std::fprintf(stderr, "member-bench: unrecognized argument '%s'\n%s", arg.c_str(), kUsage);
            return 64;
        }
    }
    if (chosen.empty()) {
        chosen = {"throughput", "idle", "handler", "http", "host", "recovery", "loop", "bounds", "wine"};
    }

    SocketPlatform::PrepareProcess();
    // Forked before the first thread of any benchmark exists.
    std::unique_ptr<TIdleHolder> holder;
    if (chosen.contains("idle")) {
        holder = std::make_unique<TIdleHolder>();
    }
    try {
        PrintMachine();
        if (chosen.contains("throughput")) {
            RunThroughputBench(requests, static_cast<unsigned>(rounds));
        }
        if (chosen.contains("idle")) {
            RunIdleBench(*holder, idle, timed);
        }
        if (chosen.contains("handler")) {
            RunHandlerBench(handlerIterations);
        }
        if (chosen.contains("http")) {
            RunHttpBench(requests, static_cast<unsigned>(rounds));
        }
        if (chosen.contains("host") && !RunHostBench(hostTransactions, crashWrites)) {
            return 1;
        }
        if (chosen.contains("recovery")) {
#ifdef MEMBER_RECOVERY_BENCH
            RunRecoveryBench();
#else
            std::printf("\n== Printer host recovery: needs the tests' stand-in library (MEMBER_BUILD_TESTS) ==\n");
#endif
        }
        if (chosen.contains("loop")) {
            RunLoopBench(ExecutableDirectory(), loopSeconds);
        }
        if (chosen.contains("bounds")) {
            RunBoundsBench(ExecutableDirectory(), static_cast<unsigned>(logSeconds));
        }
        if (chosen.contains("wine")) {
            RunWineBench(windowsBin, wineTransactions);
        }
    } catch (const std::exception& error) {
        std::fprintf(stderr, "member-bench: %s\n", error.what());
        return 1;
    }
    return 0;
}
