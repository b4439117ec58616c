#include "shell/HeadlessRun.h"

#include <cstdlib>
#include <cstring>

namespace {

bool Set(const char* name)
{
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0';
}

} // namespace

bool ChooseOffscreenWithoutDisplay(int argc, char* argv[])
{
    if (Set("DISPLAY") || Set("WAYLAND_DISPLAY") || Set("QT_QPA_PLATFORM")) {
        return false;
    }
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "-platform") == 0 || std::strcmp(argv[i], "--platform") == 0) {
            return false;
        }
    }
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    return true;
}
