#pragma once

#include <ctime>
#include <string>

// The few file operations whose spelling differs between POSIX systems and
// Windows. Descriptors are the C runtime's (open, write, close).
namespace FileSystem {

// Opens a file for appending, creating it when missing. Bytes reach the disk
// exactly as written (no CR inserted before LF), and the descriptor is not
// inherited by programs the process starts. -1 when it cannot be opened.
int OpenForAppend(const std::string& name);

// The local calendar time of a moment; safe to call from any thread.
std::tm LocalTime(std::time_t moment);

} // namespace FileSystem
