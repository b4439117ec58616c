#pragma once

#include <cstdint>
#include <string_view>

// A number field of /proc/self/status, such as "VmRSS" (in KiB) or
// "Threads"; -1 when it cannot be read.
int64_t ProcessStatusField(std::string_view field);
