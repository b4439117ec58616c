#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>

// A child process that opens connections to 127.0.0.1 and keeps them open,
// sending nothing, until told to let go. Each process may hold only so many
// descriptors; with the holder outside, the server's process needs just its
// own side of each connection.
class TIdleHolder {
public:
    // Forks at once: construct it before any thread is started.
    TIdleHolder();
    // Lets go of the connections and waits for the child.
    ~TIdleHolder();
    TIdleHolder(const TIdleHolder&) = delete;
    TIdleHolder& operator=(const TIdleHolder&) = delete;

    // Opens `count` more connections; returns how many the child holds in
    // all (fewer than asked when the system refuses more).
    size_t Open(uint16_t port, size_t count);
    void Release();

private:
    pid_t m_child = -1;
    int m_toChild = -1;
    int m_fromChild = -1;
};
