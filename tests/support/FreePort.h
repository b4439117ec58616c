#pragma once

#include <cstdint>

// A TCP port on all IPv4 interfaces that nothing listens on right now, so
// tests running side by side do not fight over the member port.
uint16_t FreePort();
