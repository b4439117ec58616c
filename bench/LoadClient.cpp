#include "LoadClient.h"

#include "base/PosixSocket.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <thread>

namespace {

using TClock = std::chrono::steady_clock;

// One request on a connection of its own; true when the server closed
// after a complete answer.
bool OneRequest(const sockaddr_in& address, const std::string& bytes, const TAnswerCheck& answered)
{
    TFileDescriptor s = TcpSocket();
    if (s.get() < 0 || connect(s.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        return false;
    }
    if (!SendAll(s, bytes)) {
        return false;
    }
    char buffer[4096];
    std::string reply;
    for (;;) {
        const ssize_t n = recv(s.get(), buffer, sizeof buffer, 0);
        if (n < 0) {
            return false;
        }
        if (n == 0) {
            break;
        }
        reply.append(buffer, static_cast<size_t>(n));
    }
    return answered(reply);
}

} // namespace

bool EndsInZeroByte(const std::string& reply)
{
    return !reply.empty() && reply.back() == '\0';
}

TLoadResult RunLoad(uint16_t port, const std::string& bytes, unsigned clients, size_t requests, bool keepLatencies,
    const TAnswerCheck& complete)
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
            if (OneRequest(address, bytes, complete)) {
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

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

double MedianMicroseconds(std::vector<std::chrono::nanoseconds> latencies)
{
    std::sort(latencies.begin(), latencies.end());
    return latencies.empty() ? 0.0 : std::chrono::duration<double, std::micro>(latencies[latencies.size() / 2]).count();
}
