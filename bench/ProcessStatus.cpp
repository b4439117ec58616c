#include "ProcessStatus.h"

#include <cstdlib>
#include <fstream>
#include <string>

int64_t ProcessStatusField(std::string_view field, pid_t pid)
{
    std::ifstream status(pid == 0 ? std::string("/proc/self/status") : "/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.size() > field.size() && line.compare(0, field.size(), field) == 0 && line[field.size()] == ':') {
            return std::strtoll(line.c_str() + field.size() + 1, nullptr, 10);
        }
    }
    return -1;
}
