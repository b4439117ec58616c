#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

// The printer host's end of the pipe to the program, which started it with
// its standard input and output on that pipe.
class THostPipe {
public:
    // Takes the pipe away from standard input and output and prepares the
    // process for the library: whatever the library prints goes to standard
    // error instead of into the protocol, and it reads an empty standard
    // input. The stop signals of a terminal or a service manager, which
    // reach the whole process group, are ignored: the program ends the host
    // (by closing the pipe, or by killing it). A crash ends the host at
    // once, without a dialog waiting for someone to close it.
    THostPipe();
    ~THostPipe();
    THostPipe(const THostPipe&) = delete;
    THostPipe& operator=(const THostPipe&) = delete;

    // False when the pipe has ended before size bytes came.
    bool Read(char* data, size_t size);
    // False when the pipe is broken.
    bool Write(std::string_view bytes);

private:
    intptr_t m_in;
    intptr_t m_out;
};
