#include "support/RuntimeLibraries.h"

void PlaceRuntimeLibraries(const std::string&)
{
}
