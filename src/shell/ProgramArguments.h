#pragma once

#include <string>

enum class TProgramRequest {
    Run,
    Help,
    Version,
    // The command line cannot be followed; Error says why.
    Usage,
};

struct TProgramArguments {
    TProgramRequest Request = TProgramRequest::Run;
    // --data-dir's folder as given; empty keeps the data beside the executable.
    std::string DataDir;
    // "member-interface: ..." for a Usage request.
    std::string Error;
};

// What the command line asks for before anything else happens: --help (-h)
// and --version (-v) are answered without options, log or window, and
// --data-dir DIR (or --data-dir=DIR) names the data folder. Those are taken
// out of argv (argc shrinks); every other argument is left for the
// application object, which takes its own (-platform and the like), and
// whatever it leaves is refused by the caller.
TProgramArguments ParseProgramArguments(int& argc, char* argv[]);

// "Usage: ..." and what the program does, for --help.
std::string ProgramHelpText();

// "member-interface <version>", for --version.
std::string ProgramVersionText();
