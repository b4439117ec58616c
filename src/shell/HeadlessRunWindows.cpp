#include "shell/HeadlessRun.h"

// Every Windows session has a desktop to show the window on, so Qt's own
// platform is always the one to use.
bool ChooseOffscreenWithoutDisplay(int, char*[])
{
    return false;
}
