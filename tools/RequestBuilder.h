#pragma once

#include "ClientArguments.h"

#include <string>

// The request for a write, read or print command as UTF-8 bytes followed by
// the zero byte that ends every request. Values are escaped so they arrive
// exactly as typed, line breaks and "&" included. Throws EUsageError for a
// value XML cannot carry at all (control characters other than tab, CR and
// LF, or bytes that are not UTF-8).
std::string BuildRequest(const TClientArguments& args);

// A raw command's bytes with the zero byte after them; nothing is checked.
std::string FrameRaw(std::string bytes);
