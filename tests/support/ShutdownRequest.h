#pragma once

#include "support/ProcessEnd.h"

#include <memory>

// Shut-down requests for a program run inside the test process, held for it
// the way the program's entry holds them (SIGINT and SIGTERM blocked for this
// thread and the threads it starts; on Windows the console control handler
// installed), so a request sent to this process waits for the run to take
// it.
class THeldShutdownRequests {
public:
    THeldShutdownRequests();
    ~THeldShutdownRequests();
    THeldShutdownRequests(const THeldShutdownRequests&) = delete;
    THeldShutdownRequests& operator=(const THeldShutdownRequests&) = delete;

    // Sends the request to this process, as the operating system would.
    void Send(EEndRequest request);

    // Whether requests can be sent to this process. Windows delivers Ctrl+C
    // only to the processes of a console, and a test process under Wine has
    // none of its own; ProgramSignalTest sends it to the real program, in a
    // console of the program's own, instead.
    static bool Supported();

private:
    struct TState;
    std::unique_ptr<TState> m_state;
};
