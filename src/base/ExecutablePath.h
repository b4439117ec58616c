#pragma once

#include <string>

// The folder of the running executable, with its trailing separator. The
// printer library lives there, and so do Option.ini and the log unless the
// program is given a data folder (DataDirectory.h).
std::string ExecutableDirectory();

// The folder, with its trailing separator, of the executable or shared
// library whose code holds address: a library finds its own files with it.
std::string ModuleDirectory(const void* address);
