#pragma once

#include <ctime>
#include <string>

// The few file operations whose spelling differs between POSIX systems and
// Windows. Descriptors are the C runtime's (open, write, close).
namespace FileSystem {

// The permission bits of the files the program creates where the system has
// them: its own user reads and writes, its group reads, nobody else (they
// hold guest names and card numbers), whatever the umask. On Windows a file
// takes the rights of its folder.
inline constexpr unsigned kCreatedFileMode = 0640;

// Opens a file for appending, creating it when missing (kCreatedFileMode).
// Bytes reach the disk exactly as written (no CR inserted before LF), and
// the descriptor is not inherited by programs the process starts. -1 when it
// cannot be opened.
int OpenForAppend(const std::string& name);

// The local calendar time of a moment; safe to call from any thread.
std::tm LocalTime(std::time_t moment);

} // namespace FileSystem
