#include "shell/ProgramArguments.h"

#include <string_view>

namespace {

constexpr std::string_view kDataDirOption = "--data-dir";
constexpr std::string_view kDataDirJoined = "--data-dir=";

} // namespace

TProgramArguments ParseProgramArguments(int& argc, char* argv[])
{
    TProgramArguments parsed;
    int kept = 1;
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument = argv[i];
        if (argument == "--help" || argument == "-h") {
            parsed.Request = TProgramRequest::Help;
            return parsed;
        }
        if (argument == "--version" || argument == "-v") {
            parsed.Request = TProgramRequest::Version;
            return parsed;
        }
        if (argument == kDataDirOption || argument.starts_with(kDataDirJoined)) {
            parsed.DataDir.clear();
            if (argument.size() > kDataDirOption.size()) {
                parsed.DataDir = argument.substr(kDataDirJoined.size());
            } else if (i + 1 < argc) {
                parsed.DataDir = argv[++i];
            }
            if (parsed.DataDir.empty()) {
                parsed.Request = TProgramRequest::Usage;
                parsed.Error = "member-interface: --data-dir needs a folder (see --help)";
                return parsed;
            }
            continue;
        }
        argv[kept++] = argv[i];
    }
    argc = kept;
    argv[argc] = nullptr;
    return parsed;
}

std::string ProgramHelpText()
{
    return "Usage: member-interface [--data-dir DIR] [--help | --version]\n"
           "\n"
           "The member-card interface server. It answers the PMS's card requests on the\n"
           "TCP port MemberPortNo of Option.ini (default 8883), drives the card printer\n"
           "through libRCPV11_VCDLL.so in the folder of the program, and writes the\n"
           "day's log to YYYYMMDD.LOG. Option.ini and the logs live in the folder of the\n"
           "program, or in DIR when --data-dir is given (the installed service uses\n"
           "/var/lib/member-interface); so does the card printer simulator's state.\n"
           "\n"
           "With a display it shows its window. Without one (neither DISPLAY nor\n"
           "WAYLAND_DISPLAY set) it runs on Qt's offscreen platform: messages go to\n"
           "standard error and the log, and when it cannot listen on its port it ends\n"
           "with exit code 69. SIGTERM and SIGINT stop it. A command line it cannot\n"
           "follow, or a data folder that is not there, ends it with exit code 64.\n"
           "\n"
           "      --data-dir DIR  keep Option.ini, the logs and the simulator's state\n"
           "                      in the existing folder DIR\n"
           "  -h, --help          show this help and exit\n"
           "  -v, --version       show the version and exit\n";
}

std::string ProgramVersionText()
{
    return "member-interface " MEMBER_VERSION "\n";
}
