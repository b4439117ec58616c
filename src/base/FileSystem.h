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

// Gives an open file the POSIX permission bits. Windows has none to give
// beyond read-only, which a file being written never has: true there.
bool SetMode(int fd, unsigned mode);

// Flushes the file's data to the disk.
bool Sync(int fd);

// Puts the file from in the place of to in one step, replacing to if it
// exists. Readers see either the old or the new file, never a mixture.
bool Replace(const std::string& from, const std::string& to);

// The local calendar time of a moment; safe to call from any thread.
std::tm LocalTime(std::time_t moment);

} // namespace FileSystem
