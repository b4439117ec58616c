#pragma once

#include <string>

// The folder the simulator library was loaded from, with its trailing
// separator: CardPrinter.ini and the card face belong beside the library,
// whichever program loads it.
std::string LibraryFolder();
