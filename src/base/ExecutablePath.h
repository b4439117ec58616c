#pragma once

#include <string>

// The folder of the running executable, with its trailing separator. Option.ini,
// the log file and the printer library all live there.
std::string ExecutableDirectory();

// The folder, with its trailing separator, of the executable or shared
// library whose code holds address: a library finds its own files with it.
std::string ModuleDirectory(const void* address);
