#pragma once

#include "listener/RequestListener.h"

#include <cstdint>

// The real listener with the real connection procedure on a free port, as
// the program runs it, for the benchmarks' clients on 127.0.0.1.
class TServerUnderTest {
public:
    TServerUnderTest();
    ~TServerUnderTest();
    TServerUnderTest(const TServerUnderTest&) = delete;
    TServerUnderTest& operator=(const TServerUnderTest&) = delete;

    uint16_t Port() const { return m_listener.LocalPort(); }
    size_t LiveConnections() const { return m_listener.LiveConnections(); }

private:
    TRequestListener m_listener;
};
