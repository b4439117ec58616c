#pragma once

// A connection a server holds in its set, whatever its protocol.
class TServedConnection {
public:
    virtual ~TServedConnection() = default;

    // When the server stops, on its I/O thread: a connection still reading
    // its request is closed; one whose request is being handled goes on
    // until its answer (its device step, if still queued, is dropped by the
    // device queue), unless the protocol says otherwise.
    virtual void Abort() = 0;
};
