#include "sim/SerialGreeting.h"

#include <windows.h>

#include <string>

bool GreetSerialPort(int32_t port)
{
    // The \\.\ form reaches COM10 and above too.
    const std::string name = "\\\\.\\COM" + std::to_string(port);
    const HANDLE handle = CreateFileA(name.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        return false;
    }
    const char enq = 0x05;
    DWORD written = 0;
    const bool sent = WriteFile(handle, &enq, 1, &written, nullptr) && written == 1;
    CloseHandle(handle);
    return sent;
}
