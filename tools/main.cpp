#include "ClientMain.h"

#include <csignal>
#include <iostream>

int main(int argc, char* argv[])
{
    std::signal(SIGPIPE, SIG_IGN);
    std::ios::sync_with_stdio(false);
    return RunMemberClient(std::vector<std::string>(argv + 1, argv + argc), std::cin, std::cout, std::cerr);
}
