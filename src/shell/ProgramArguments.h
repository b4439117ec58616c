#pragma once

#include <string>

enum class TProgramRequest {
    Run,
    Help,
    Version,
};

// What the command line asks for before anything else happens: --help (-h)
// and --version (-v) are answered without options, log or window; every
// other argument is left for the application object, which takes its own
// (-platform and the like), and whatever it leaves is refused by the caller.
TProgramRequest ProgramRequest(int argc, char* argv[]);

// "Usage: ..." and what the program does, for --help.
std::string ProgramHelpText();

// "member-interface <version>", for --version.
std::string ProgramVersionText();
