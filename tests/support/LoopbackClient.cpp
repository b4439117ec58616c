#include "support/LoopbackClient.h"

#include <asio/connect.hpp>
#include <asio/io_context.hpp>
#include <asio/ip/tcp.hpp>
#include <asio/read.hpp>
#include <asio/steady_timer.hpp>
#include <asio/write.hpp>

#include <chrono>
#include <functional>
#include <thread>

TLoopbackReply Exchange(uint16_t port, const std::string& bytes, size_t chunkSize, int timeoutMs, bool shutdownSending)
{
    TLoopbackReply reply;
    asio::io_context io;
    asio::ip::tcp::socket socket(io);
    std::error_code error;
    socket.connect({asio::ip::address_v4::loopback(), port}, error);
    if (error) {
        return reply;
    }
    reply.Connected = true;
    const size_t step = chunkSize == 0 ? bytes.size() : chunkSize;
    for (size_t at = 0; at < bytes.size(); at += step) {
        const size_t n = std::min(step, bytes.size() - at);
        if (asio::write(socket, asio::buffer(bytes.data() + at, n), error); error) {
            break;
        }
        if (chunkSize != 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    }
    if (shutdownSending) {
        socket.shutdown(asio::socket_base::shutdown_send, error);
    }
    // Reads until the server closes or the time is up, whichever comes first.
    char buf[4096];
    bool timedOut = false;
    asio::steady_timer timer(io, std::chrono::milliseconds(timeoutMs));
    timer.async_wait([&](const std::error_code& e) {
        if (!e) {
            timedOut = true;
            socket.cancel(error);
        }
    });
    std::function<void(const std::error_code&, size_t)> onRead = [&](const std::error_code& e, size_t n) {
        reply.Bytes.append(buf, n);
        if (e) {
            reply.ClosedByServer = !timedOut;
            timer.cancel();
            return;
        }
        socket.async_read_some(asio::buffer(buf), onRead);
    };
    socket.async_read_some(asio::buffer(buf), onRead);
    io.run();
    return reply;
}

std::string Framed(const std::string& utf8Request)
{
    std::string framed = utf8Request;
    framed.push_back('\0');
    return framed;
}
