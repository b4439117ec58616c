#include "HandlerBench.h"

#include "BenchEnvironment.h"

#include "member/ClientConnection.h"
#include "member/MemberMessageHandlerUnit.h"

#include "base/Asio.h"

#include <QString>

#include <chrono>
#include <cstdio>
#include <stdexcept>
#include <string>

namespace {

// Keeps the last response, so writing costs what appending to a buffer does.
class TBufferConnection : public TClientConnection {
public:
    bool Gone() const override { return false; }
    asio::awaitable<void> Write(std::string bytes) override
    {
        Written = std::move(bytes);
        co_return;
    }
    std::string Written;
};

double MicrosecondsPerRequest(const QString& text, size_t iterations)
{
    TBufferConnection connection;
    // One I/O context for all, as the listener has: the figure is the
    // handler's and the device queue's, not the context's creation.
    asio::io_context io;
    const auto start = std::chrono::steady_clock::now();
    for (size_t i = 0; i < iterations; ++i) {
        TMemberMessageHandler handler;
        asio::co_spawn(io, handler.HandleMessage(connection, text), asio::detached);
        io.run();
        io.restart();
    }
    const auto elapsed = std::chrono::steady_clock::now() - start;
    if (connection.Written.empty() || connection.Written.back() != '\0') {
        throw std::runtime_error("the handler did not answer the benchmark's request");
    }
    return std::chrono::duration<double, std::micro>(elapsed).count() / static_cast<double>(iterations);
}

} // namespace

void RunHandlerBench(size_t iterations)
{
    TBenchEnvironment environment;
    const struct {
        const char* Name;
        const char* Request;
    } types[] = {
        {"WriteMemberCard", BenchRequests::Write},
        {"ReadMemberCard", BenchRequests::Read},
        {"PrintMemberCard", BenchRequests::Print},
    };
    std::printf("\n== Handler alone: decoded text to response bytes, %zu requests each ==\n", iterations);
    std::printf("%-16s %14s %14s\n", "type", "log off (us)", "log on (us)");
    for (const auto& type : types) {
        const QString text = QString::fromUtf8(type.Request);
        environment.SetLogging(false);
        MicrosecondsPerRequest(text, iterations / 10 + 1);
        const double off = MicrosecondsPerRequest(text, iterations);
        environment.SetLogging(true);
        const double on = MicrosecondsPerRequest(text, iterations);
        std::printf("%-16s %14.2f %14.2f\n", type.Name, off, on);
    }
}
