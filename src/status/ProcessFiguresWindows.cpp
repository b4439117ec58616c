#include "status/ProcessFigures.h"

#include <windows.h>
#include <psapi.h>

namespace {

// A process may hold up to 2^24 handles; Windows has no smaller limit to
// report, and fleet tools report this one.
constexpr uint64_t kMaxHandles = 16777216;

double Seconds(const FILETIME& time)
{
    const uint64_t ticks = (static_cast<uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
    return static_cast<double>(ticks) / 1e7;
}

} // namespace

TProcessFigures ReadProcessFigures()
{
    TProcessFigures figures;
    HANDLE self = GetCurrentProcess();
    DWORD handles = 0;
    if (GetProcessHandleCount(self, &handles)) {
        figures.OpenFds = handles;
        figures.MaxFds = kMaxHandles;
    }
    PROCESS_MEMORY_COUNTERS_EX memory {};
    if (GetProcessMemoryInfo(self, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory), sizeof memory)) {
        figures.ResidentBytes = memory.WorkingSetSize;
        figures.VirtualBytes = memory.PrivateUsage;
    }
    FILETIME created {};
    FILETIME exited {};
    FILETIME kernel {};
    FILETIME user {};
    if (GetProcessTimes(self, &created, &exited, &kernel, &user)) {
        figures.CpuSeconds = Seconds(kernel) + Seconds(user);
    }
    return figures;
}
