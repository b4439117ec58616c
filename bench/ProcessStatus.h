#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string_view>

// A number field of /proc/<pid>/status, such as "VmRSS" (in KiB) or
// "Threads"; pid 0 reads this process. -1 when it cannot be read.
int64_t ProcessStatusField(std::string_view field, pid_t pid = 0);
