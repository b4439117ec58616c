#pragma once

#include <string>

// The data folder that the installer set up for the program it installed,
// with its trailing separator, or empty: the program then keeps its data
// beside itself (an unpacked folder, a build, a POSIX install, which names
// its folder with --data-dir).
//
// On Windows the installer puts the program under Program Files, where only
// administrators write, and the data under ProgramData, and records both in
// the registry. The answer is that folder only for the executable the
// installer put there, so a copy of the program elsewhere on the same PC
// keeps its own files, however the program was started.
std::string InstalledDataDirectory();
