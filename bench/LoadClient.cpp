#include "LoadClient.h"

#include "base/PosixSocket.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <mutex>
#include <thread>

namespace {

using TClock = std::chrono::steady_clock;

// One request on a connection of its own; true when the answer ended in
// its zero byte and the server then closed.
bool OneRequest(const sockaddr_in& address, const std::string& bytes)
{
    TFileDescriptor s = TcpSocket();
    if (s.get() < 0 || connect(s.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        return false;
    }
    if (!SendAll(s, bytes)) {
        return false;
    }
    char buffer[4096];
    char last = 1;
    size_t received = 0;
    for (;;) {
        const ssize_t n = recv(s.get(), buffer, sizeof buffer, 0);
        if (n < 0) {
            return false;
        }
        if (n == 0) {
            break;
        }
        received += static_cast<size_t>(n);
        last = buffer[n - 1];
    }
    return received > 0 && last == '\0';
}

} // namespace

TLoadResult RunLoad(uint16_t port, const std::string& bytes, unsigned clients, size_t requests, bool keepLatencies)
{
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);

    TLoadResult result;
    std::atomic<size_t> next {0};
    std::atomic<size_t> answered {0};
    std::mutex latencyMutex;
    const auto worker = [&] {
        std::vector<std::chrono::nanoseconds> mine;
        while (next.fetch_add(1) < requests) {
            const auto start = TClock::now();
            if (OneRequest(address, bytes)) {
                answered.fetch_add(1);
            }
            if (keepLatencies) {
                mine.push_back(TClock::now() - start);
            }
        }
        std::scoped_lock lock(latencyMutex);
        result.Latencies.insert(result.Latencies.end(), mine.begin(), mine.end());
    };

    const auto start = TClock::now();
    std::vector<std::thread> threads;
    for (unsigned i = 0; i < clients; ++i) {
        threads.emplace_back(worker);
    }
    for (std::thread& t : threads) {
        t.join();
    }
    result.Elapsed = TClock::now() - start;
    result.Answered = answered.load();
    result.Failed = requests - result.Answered;
    return result;
}

double Rate(const TLoadResult& result)
{
    const double seconds = std::chrono::duration<double>(result.Elapsed).count();
    return seconds > 0 ? static_cast<double>(result.Answered) / seconds : 0;
}
