#pragma once

#include <string>

// The folder of the running executable, with its trailing separator. Option.ini,
// the log file and the printer library all live there.
std::string ExecutableDirectory();
