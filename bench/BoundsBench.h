#pragma once

#include <string>

// The built program against clients that send all they can: HTTP floods
// past the read bounds (a trailer without end, a chunk-size line without
// end, fifty of them at once) while health is asked, and the day's log
// bound under long card numbers and print contents. Prints the figures.
void RunBoundsBench(const std::string& binDir, unsigned logSeconds);
