#include "sim/SerialGreeting.h"

#include <fcntl.h>
#include <unistd.h>

#include <string>

bool GreetSerialPort(int32_t port)
{
    const std::string device = "/dev/ttyS" + std::to_string(port - 1);
    const int fd = open(device.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    const char enq = 0x05;
    const bool written = write(fd, &enq, 1) == 1;
    close(fd);
    return written;
}
