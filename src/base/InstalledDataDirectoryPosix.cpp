#include "base/InstalledDataDirectory.h"

std::string InstalledDataDirectory()
{
    return {};
}
