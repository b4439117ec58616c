#pragma once

#include <cstddef>
#include <string>

// The vendor's Windows DLL on Linux, in the Windows printer host under Wine,
// with the Windows simulator DLL from a Windows build's bin folder
// (windowsBin): the time a card transaction adds against the native host,
// side by side, simulator without delay; and the first start of the
// program with a fresh Wine prefix, until its member port listens.
void RunWineBench(const std::string& windowsBin, size_t transactions);
