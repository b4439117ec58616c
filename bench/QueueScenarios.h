#pragma once

#include <string>

// The built program with the simulator at DelayMs=50, under the three loads
// where requests wait for the printer: a queue of `queued` writes at once, a
// SIGTERM with 200 writes queued, and 50 clients that reset right after
// sending. Prints the figures and a line per check; false when one fails.
bool RunQueueScenarios(const std::string& binDir, size_t queued);
