#include "ClientMain.h"

#include "base/SocketPlatform.h"

#include <iostream>

int main(int argc, char* argv[])
{
    SocketPlatform::PrepareProcess();
    std::ios::sync_with_stdio(false);
    return RunMemberClient(std::vector<std::string>(argv + 1, argv + argc), std::cin, std::cout, std::cerr);
}
