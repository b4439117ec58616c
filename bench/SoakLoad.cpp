#include "SoakLoad.h"

#include "base/PosixSocket.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <deque>
#include <mutex>
#include <thread>

namespace {

using TClock = std::chrono::steady_clock;

constexpr auto kAnswerWait = std::chrono::seconds(60);
constexpr size_t kIdleCap = 64;

bool Connect(const TFileDescriptor& s, uint16_t port)
{
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return s.get() >= 0 && connect(s.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
}

// Everything until the server closes (or resets), within the wait.
std::string ReceiveAll(const TFileDescriptor& s, std::chrono::milliseconds wait)
{
    std::string bytes;
    const auto deadline = TClock::now() + wait;
    char buffer[4096];
    while (TClock::now() < deadline) {
        pollfd pfd {s.get(), POLLIN, 0};
        if (poll(&pfd, 1, 100) <= 0) {
            continue;
        }
        const ssize_t n = recv(s.get(), buffer, sizeof buffer, 0);
        if (n <= 0) {
            break;
        }
        bytes.append(buffer, static_cast<size_t>(n));
    }
    return bytes;
}

std::string Response(const std::string& code, const std::string& message, const std::string& cardNo)
{
    return "<DoorResponse><RequestID></RequestID><ResultCode>" + code + "</ResultCode><ResultMessage>" + message
        + "</ResultMessage><CardNo>" + cardNo
        + "</CardNo><ExpireDate></ExpireDate><GuestName></GuestName><Score></Score><Password></Password>"
          "</DoorResponse>";
}

std::string WriteRequest(const std::string& cardNo)
{
    return "<Request type=\"WriteMemberCard\"><RequestID>1</RequestID><CardNo>" + cardNo
        + "</CardNo><ExpireDate>2030-12-31</ExpireDate><GuestName>张三</GuestName><Score>10</Score></Request>";
}

const std::string kRead = "<Request type=\"ReadMemberCard\"><InputPassword>0</InputPassword></Request>";
const std::string kPrint = "<Request type=\"PrintMemberCard\"><RequestID>2</RequestID><CardNo>1</CardNo>"
                           "<Content>&#13;\n当前消费:100&#13;\n卡内余额:300</Content></Request>";

// The whole state of one soak, shared by its client threads.
class TSoak {
public:
    TSoak(uint16_t port, TClock::time_point end, size_t maxRequests, char cardPrefix)
        : m_port(port)
        , m_end(end)
        , m_maxRequests(maxRequests)
        , m_cardPrefix(cardPrefix)
    {
    }

    void RequestClient()
    {
        for (;;) {
            const size_t n = m_next.fetch_add(1);
            if (n >= m_maxRequests || TClock::now() >= m_end) {
                return;
            }
            OneRequest(n);
        }
    }

    void FaultClient(unsigned which)
    {
        for (size_t round = which; TClock::now() < m_end; ++round) {
            switch (round % 4) {
            case 0:
                HalfAndGone(false);
                break;
            case 1:
                Oversized();
                break;
            case 2:
                HalfAndGone(true);
                break;
            case 3:
                Idle();
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    }

    TSoakCounts Finish(size_t keepIdle, std::vector<int>& idleKept)
    {
        std::scoped_lock lock(m_mutex);
        while (m_idle.size() > keepIdle) {
            close(m_idle.front());
            m_idle.pop_front();
        }
        idleKept.assign(m_idle.begin(), m_idle.end());
        m_idle.clear();
        return m_counts;
    }

private:
    void OneRequest(size_t n)
    {
        const int type = static_cast<int>(n % 3);
        char card[16];
        std::snprintf(card, sizeof card, "%c%07zu", m_cardPrefix, n % 10000000);
        const std::string request = type == 0 ? WriteRequest(card) : type == 1 ? kRead : kPrint;

        const auto start = TClock::now();
        TFileDescriptor s = TcpSocket();
        if (!Connect(s, m_port)) {
            std::scoped_lock lock(m_mutex);
            ++m_counts.ConnectErrors;
            return;
        }
        std::string framed = request;
        framed.push_back('\0');
        const bool sent = SendAll(s, framed);
        const std::string answer = sent ? ReceiveAll(s, kAnswerWait) : std::string();
        const auto latency = TClock::now() - start;

        std::scoped_lock lock(m_mutex);
        (type == 0 ? m_counts.Writes : type == 1 ? m_counts.Reads : m_counts.Prints)++;
        m_counts.Latencies.push_back(latency);
        if (answer.empty()) {
            ++m_counts.Unanswered;
            return;
        }
        // One zero byte, at the very end: one answer, then the close.
        if (answer.back() != '\0' || answer.find('\0') != answer.size() - 1) {
            ++m_counts.Malformed;
            return;
        }
        const std::string text = answer.substr(0, answer.size() - 1);
        bool expected = false;
        if (type == 0) {
            expected = text == Response("200", "写卡成功", card) || text == Response("500", "写卡失败", card);
            if (text == Response("200", "写卡成功", card)) {
                ++m_counts.WrittenCards[card];
            }
        } else if (type == 1) {
            expected = text.starts_with("<DoorResponse><RequestID></RequestID><ResultCode>200</ResultCode>"
                                        "<ResultMessage>读卡成功</ResultMessage><CardNo>")
                || text == Response("500", "读卡失败", "");
        } else {
            expected = text == Response("200", "打印卡成功", "") || text == Response("500", "打印卡失败", "");
        }
        if (!expected) {
            ++m_counts.Malformed;
            return;
        }
        ++m_counts.Answered;
        if (text.find("<ResultCode>500</ResultCode>") != std::string::npos) {
            ++m_counts.Failures;
        }
    }

    // Half a write request, then gone: with a close the server sees the end
    // of the stream, with a reset an error.
    void HalfAndGone(bool reset)
    {
        TFileDescriptor s = TcpSocket();
        if (!Connect(s, m_port)) {
            std::scoped_lock lock(m_mutex);
            ++m_counts.ConnectErrors;
            return;
        }
        const std::string request = WriteRequest("H0000000");
        SendAll(s, request.substr(0, request.size() / 2));
        if (reset) {
            const linger abort {1, 0};
            setsockopt(s.get(), SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
        }
        std::scoped_lock lock(m_mutex);
        ++(reset ? m_counts.Resets : m_counts.HalfAndGone);
    }

    void Oversized()
    {
        TFileDescriptor s = TcpSocket();
        if (!Connect(s, m_port)) {
            std::scoped_lock lock(m_mutex);
            ++m_counts.ConnectErrors;
            return;
        }
        SendAll(s, std::string(20 * 1024, 'x'));
        const std::string answer = ReceiveAll(s, std::chrono::seconds(10));
        std::scoped_lock lock(m_mutex);
        ++m_counts.Oversized;
        if (!answer.empty()) {
            ++m_counts.OversizedAnswered;
        }
    }

    void Idle()
    {
        TFileDescriptor s = TcpSocket();
        if (!Connect(s, m_port)) {
            std::scoped_lock lock(m_mutex);
            ++m_counts.ConnectErrors;
            return;
        }
        std::scoped_lock lock(m_mutex);
        ++m_counts.Idle;
        m_idle.push_back(s.Release());
        if (m_idle.size() > kIdleCap) {
            close(m_idle.front());
            m_idle.pop_front();
        }
    }

    const uint16_t m_port;
    const TClock::time_point m_end;
    const size_t m_maxRequests;
    const char m_cardPrefix;
    std::atomic<size_t> m_next {0};
    std::mutex m_mutex;
    TSoakCounts m_counts;
    std::deque<int> m_idle;
};

} // namespace

TSoakCounts& TSoakCounts::operator+=(const TSoakCounts& more)
{
    Writes += more.Writes;
    Reads += more.Reads;
    Prints += more.Prints;
    Answered += more.Answered;
    Unanswered += more.Unanswered;
    Malformed += more.Malformed;
    Failures += more.Failures;
    ConnectErrors += more.ConnectErrors;
    Latencies.insert(Latencies.end(), more.Latencies.begin(), more.Latencies.end());
    for (const auto& [card, count] : more.WrittenCards) {
        WrittenCards[card] += count;
    }
    HalfAndGone += more.HalfAndGone;
    Oversized += more.Oversized;
    OversizedAnswered += more.OversizedAnswered;
    Resets += more.Resets;
    Idle += more.Idle;
    return *this;
}

TSoakCounts RunSoakLoad(uint16_t port, unsigned clients, std::chrono::seconds duration, size_t maxRequests,
    char cardPrefix, size_t keepIdle, std::vector<int>& idleKept)
{
    TSoak soak(port, TClock::now() + duration, maxRequests, cardPrefix);
    std::vector<std::thread> threads;
    for (unsigned i = 0; i < clients; ++i) {
        threads.emplace_back([&soak] { soak.RequestClient(); });
    }
    for (unsigned i = 0; i < 4; ++i) {
        threads.emplace_back([&soak, i] { soak.FaultClient(i); });
    }
    for (std::thread& t : threads) {
        t.join();
    }
    return soak.Finish(keepIdle, idleKept);
}
