#pragma once

#include <string>

// Where the program keeps what it writes (Option.ini, the day logs, the
// simulator's state), with its trailing separator: the folder named by
// SetDataDirectory, otherwise the executable's own, so a copied folder
// carries its files along.
std::string DataDirectory();

// folder must exist; empty means beside the executable again. The folder is
// also handed on in the environment variable kDataDirectoryVariable, from
// where the printer simulator (a library loaded into the program or into a
// child process of it) takes it; empty clears the variable, so a value
// inherited from whoever started the program never splits the data apart.
// Changing the environment, it belongs before the first thread starts.
void SetDataDirectory(const std::string& folder);

inline constexpr const char* kDataDirectoryVariable = "MEMBER_INTERFACE_DATA_DIR";

// The folder in kDataDirectoryVariable with its trailing separator, or
// empty when the variable is unset or empty.
std::string InheritedDataDirectory();
