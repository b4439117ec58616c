#pragma once

#include <cstdint>

// Opens serial port number port as the platform names it (COMn on Windows,
// /dev/ttyS(n-1) elsewhere, as Wine maps COMn by default), sends it one ENQ
// byte and closes it again. False when the port could not be opened or
// written.
bool GreetSerialPort(int32_t port);
