#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <thread>

// Serves the files of one folder over HTTP on a free loopback port, on a
// thread of its own, for as long as it lives: a web page's own origin in a
// browser test.
class TStaticHttpServer {
public:
    explicit TStaticHttpServer(std::string folder);
    ~TStaticHttpServer();
    TStaticHttpServer(const TStaticHttpServer&) = delete;
    TStaticHttpServer& operator=(const TStaticHttpServer&) = delete;

    uint16_t Port() const { return m_port; }

private:
    struct TState;
    std::unique_ptr<TState> m_state;
    uint16_t m_port = 0;
    std::thread m_thread;
};
