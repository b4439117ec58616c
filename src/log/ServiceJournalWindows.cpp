#include "log/ServiceJournal.h"

// Windows has no journal on standard error; a console shows plain lines.
bool StandardErrorIsJournal()
{
    return false;
}
