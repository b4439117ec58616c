#pragma once

#include <iosfwd>
#include <string>
#include <vector>

// member-client's exit codes. The first four are the ones integrators script
// against; the rest follow sysexits.h.
enum TClientExitCode : int {
    kExitSuccess = 0,        // "200"
    kExitFailure = 1,        // "500"
    kExitNoAnswer = 2,       // the server closed without answering
    kExitNoConnection = 3,   // no connection, or time-out
    kExitUsage = 64,         // EX_USAGE
    kExitNoInput = 66,       // EX_NOINPUT: the raw file cannot be read
    kExitBadResponse = 76,   // EX_PROTOCOL: an answer that is no response
};

// The whole client: args without the program name; the raw command reads
// "-" from in. Returns the exit code.
int RunMemberClient(const std::vector<std::string>& args, std::istream& in, std::ostream& out, std::ostream& err);
