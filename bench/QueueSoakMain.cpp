// member-queue-soak: the built program with the printer simulator, under
// the loads where requests wait for the printer: a long queue, a stop with
// requests queued, clients that reset while queued. Bounded in count and
// time, on 127.0.0.1 only. Prints the figures; exits 1 when a check fails.

#include "QueueScenarios.h"

#include "base/ExecutablePath.h"
#include "base/SocketPlatform.h"
#include "listener/RequestListener.h"

#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char* argv[])
{
    size_t queued = 5000;
    if (argc == 3 && std::string(argv[1]) == "--queued") {
        queued = std::strtoul(argv[2], nullptr, 10);
    }
    if ((argc != 1 && argc != 3) || queued == 0 || queued > 10000) {
        std::fprintf(stderr, "usage: member-queue-soak [--queued N]   (1 to 10000, default 5000)\n");
        return 64;
    }
    SocketPlatform::PrepareProcess();
    return RunQueueScenarios(ExecutableDirectory(), queued) ? 0 : 1;
}
