#include "shell/ProgramArguments.h"

#include <cstring>

TProgramRequest ProgramRequest(int argc, char* argv[])
{
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            return TProgramRequest::Help;
        }
        if (std::strcmp(argv[i], "--version") == 0 || std::strcmp(argv[i], "-v") == 0) {
            return TProgramRequest::Version;
        }
    }
    return TProgramRequest::Run;
}

std::string ProgramHelpText()
{
    return "Usage: member-interface [--help | --version]\n"
           "\n"
           "The member-card interface server. It answers the PMS's card requests on the\n"
           "TCP port MemberPortNo of Option.ini (default 8883), drives the card printer\n"
           "through libRCPV11_VCDLL.so and writes the day's log to YYYYMMDD.LOG, all in\n"
           "the folder of the program.\n"
           "\n"
           "With a display it shows its window. Without one (neither DISPLAY nor\n"
           "WAYLAND_DISPLAY set) it runs on Qt's offscreen platform: messages go to\n"
           "standard error and the log, and when it cannot listen on its port it ends\n"
           "with exit code 69. SIGTERM and SIGINT stop it.\n"
           "\n"
           "  -h, --help     show this help and exit\n"
           "  -v, --version  show the version and exit\n";
}

std::string ProgramVersionText()
{
    return "member-interface " MEMBER_VERSION "\n";
}
