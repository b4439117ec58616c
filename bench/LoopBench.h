#pragma once

#include <cstddef>
#include <string>

// The built program with the printer simulator, headless, on its member
// port and its HTTP API: context switches idle and at one write a second,
// threads with requests queued behind a slow printer, memory under an
// endless header, health beside slow clients and the stop after them.
// `seconds` is the length of each context-switch window.
void RunLoopBench(const std::string& binDir, size_t seconds);
