#pragma once

// How the printer host recovers, with the stand-in library of the tests
// (built with them): a crash while a forked child holds the pipe, bytes
// left in the pipe, an eject lost with its host, and a library that loads
// slowly at the first start. Prints what each costs.
void RunRecoveryBench();
