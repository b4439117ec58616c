#pragma once

#include <cstddef>

// The printer library in its process of its own (member-printer-host):
// what a card transaction costs through the host against the library loaded
// in the program, side by side, on the simulator with no delay; the real
// program with a library that crashes on every tenth write; and the
// program's stop during a call that never returns. Returns false when a
// check failed.
bool RunHostBench(size_t transactions, size_t crashWrites);
