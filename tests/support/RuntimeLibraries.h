#pragma once

#include <string>

// Puts the libraries the built programs need at run time beside a copy of
// them in folder (with its trailing separator), as the Windows package has
// them beside the program: there the program and its printer host take DLLs
// only from their own folder and System32, so a host in a test's folder
// could not load the simulator, which needs Qt's GUI library. Linked, not
// copied, where the file system allows. POSIX programs find their
// libraries where the system keeps them, so there it does nothing.
void PlaceRuntimeLibraries(const std::string& folder);
