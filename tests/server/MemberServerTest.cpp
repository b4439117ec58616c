#include "server/MemberServer.h"

#include "base/InfoSink.h"
#include "base/TextCodec.h"
#include "config/HttpOption.h"
#include "listener/RequestListener.h"
#include "member/DeviceQueue.h"

#include "support/DeviceHold.h"
#include "support/FreePort.h"
#include "support/LoopbackClient.h"
#include "support/RecordingMember.h"
#include "support/RunToEnd.h"
#include "support/TestEnvironment.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <future>
#include <mutex>
#include <thread>

namespace {

using namespace std::chrono_literals;

const std::string kWriteRequest = "<Request type=\"WriteMemberCard\"><RequestID>1</RequestID><CardNo>00012345</CardNo>"
                                   "<ExpireDate>2027-01-01</ExpireDate><GuestName>张三</GuestName><Score>10</Score>"
                                   "</Request>";
const std::string kReadRequest = "<Request type=\"ReadMemberCard\"><InputPassword>0</InputPassword></Request>";
const std::string kStartLine = "会员卡接口监听服务器已经启动...";
const std::string kStopLine = "接口监听服务器已经停止。";

class TRecordingPane : public TInfoSink {
public:
    void AppendLine(const QString& line) override
    {
        std::scoped_lock lock(m_mutex);
        m_lines.push_back(line.toStdString());
    }
    std::vector<std::string> Lines() const
    {
        std::scoped_lock lock(m_mutex);
        return m_lines;
    }

private:
    mutable std::mutex m_mutex;
    std::vector<std::string> m_lines;
};

// A printer whose card write hangs until the call is given up, as the
// printer host's is: it then answers as a printer that gives no reply.
class THangingMember : public TRecordingMember {
public:
    bool WriteCard(std::string CardNo, std::string ExpireDate, std::string GuestName, std::string Score,
        int32_t Channel) override
    {
        TRecordingMember::WriteCard(CardNo, ExpireDate, GuestName, Score, Channel);
        std::unique_lock lock(m_mutex);
        m_givenUp.wait(lock, [this] { return m_gaveUp; });
        return false;
    }
    void GiveUp()
    {
        {
            std::scoped_lock lock(m_mutex);
            m_gaveUp = true;
        }
        m_givenUp.notify_all();
        ++GiveUps;
    }
    std::atomic<int> GiveUps {0};

private:
    std::mutex m_mutex;
    std::condition_variable m_givenUp;
    bool m_gaveUp = false;
};

bool QueuedBecomes(size_t count)
{
    for (int i = 0; i < 2000 && DeviceQueue.Queued() != count; ++i) {
        std::this_thread::sleep_for(5ms);
    }
    return DeviceQueue.Queued() == count;
}

size_t LogLinesEqualTo(const std::vector<std::string>& log, const std::string& utf8)
{
    return static_cast<size_t>(std::count(log.begin(), log.end(), Gbk(utf8)));
}

std::string HttpWrite(uint16_t port)
{
    const std::string body = R"({"cardNo":"1","expireDate":"","guestName":"","score":""})";
    return Exchange(port,
        "POST /v1/cards/write HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Type: application/json\r\n"
        "Content-Length: "
            + std::to_string(body.size()) + "\r\n\r\n" + body)
        .Bytes;
}

class MemberServerTest : public TProcessObjectsTest {
protected:
    void SetUp() override
    {
        TProcessObjectsTest::SetUp();
        CurrentMemberDevice = &m_device;
        HttpOption = std::make_unique<THttpOption>(OptionPath());
        HttpOption->Enabled = true;
        HttpOption->BindAddress = "127.0.0.1";
        HttpOption->Port = FreePort();
    }

    void TearDown() override
    {
        // A stop leaves the process's queue refusing requests.
        DeviceQueue.AcceptRequests();
        HttpOption.reset();
        TProcessObjectsTest::TearDown();
    }

    THangingMember m_device;
    TRecordingPane m_pane;
    TMemberServer m_server {{.Procedure = {}, .GiveUpPrinterCall = [this] { m_device.GiveUp(); }}};
};

// Also after a stop, as when the options restart the server: the device
// queue takes requests again, since the HTTP API and the test dialog go on
// without the member port.
TEST_F(MemberServerTest, StartTakesRequestsAgainAlsoWhenThePortIsTaken)
{
    HttpOption.reset();
    const uint16_t port = FreePort();
    TRequestListener other(nullptr, [](TClientConnection&, std::string) -> asio::awaitable<void> { co_return; });
    other.Start(port);
    DeviceQueue.StopRequests();
    try {
        m_server.Start(port, &m_pane);
        FAIL() << "bind should fail";
    } catch (const std::runtime_error& error) {
        EXPECT_STREQ(error.what(), "Could not bind socket. Address and port are already in use.");
    }
    EXPECT_EQ(m_pane.Lines(), (std::vector<std::string> {kStartLine}));
    EXPECT_FALSE(m_server.Listening());
    EXPECT_TRUE(RunToEnd(DeviceQueue.AsyncRun([](TBaseMember&) { return true; }, nullptr, asio::use_awaitable)));
    m_server.Stop();
    EXPECT_EQ(m_pane.Lines().back(), kStopLine);
    other.Stop();
}

// Sends: three card writes on the member port and one over HTTP while the
// printer is busy with an earlier turn; then the server stops.
TEST_F(MemberServerTest, StopWhileRequestsAreQueuedDropsThemOnBothPortsWithoutADeviceCall)
{
    m_server.Start(0, &m_pane);
    const uint16_t port = m_server.LocalPort();
    const uint16_t httpPort = m_server.HttpPort();
    ASSERT_NE(httpPort, 0);
    std::vector<std::unique_ptr<TLoopbackClient>> clients;
    std::future<std::string> http;
    {
        const TDeviceHold running;
        for (int i = 0; i < 3; ++i) {
            clients.push_back(std::make_unique<TLoopbackClient>(port));
            clients.back()->Send(Framed(kWriteRequest));
        }
        ASSERT_TRUE(QueuedBecomes(4));
        http = std::async(std::launch::async, [httpPort] { return HttpWrite(httpPort); });
        ASSERT_TRUE(QueuedBecomes(5));
        m_server.Stop();
    }
    for (const auto& client : clients) {
        const TLoopbackReply reply = client->Receive();
        EXPECT_TRUE(reply.ClosedByServer);
        EXPECT_EQ(reply.Bytes, "");
    }
    EXPECT_EQ(http.get().substr(0, 12), "HTTP/1.1 503");
    EXPECT_TRUE(m_device.Calls().empty());
    EXPECT_EQ(LogLinesEqualTo(Log(), "服务器停止,请求未执行."), 4u);
    EXPECT_FALSE(m_server.Listening());
    EXPECT_FALSE(TLoopbackClient(port).Connected());
    EXPECT_FALSE(TLoopbackClient(httpPort).Connected());
    const std::vector<std::string> lines = m_pane.Lines();
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0], kStartLine);
    EXPECT_EQ(lines[2], kStopLine);
    EXPECT_EQ(lines[3], "HTTP接口已经停止。");
}

TEST_F(MemberServerTest, StopWhileATransactionRunsTimesOutAndTheSecondStopWaitsForItsAnswer)
{
    HttpOption.reset();
    m_server.Start(0, &m_pane);
    const uint16_t port = m_server.LocalPort();
    // Longer than the stop's wait, but it returns by itself.
    TRecordingMember device;
    device.Hold = 6000ms;
    CurrentMemberDevice = &device;
    auto busy = std::async(std::launch::async, [port] { return Exchange(port, Framed(kReadRequest), 0, 15000); });
    while (device.Calls().empty()) {
        std::this_thread::sleep_for(5ms);
    }
    EXPECT_THROW(m_server.Stop(), EStopTimeout);
    EXPECT_TRUE(m_server.Listening());
    EXPECT_EQ(m_pane.Lines(), (std::vector<std::string> {kStartLine})) << "no stop line after a failed stop";
    m_server.Stop();
    EXPECT_FALSE(m_server.Listening());
    EXPECT_EQ(m_pane.Lines().back(), kStopLine);
    EXPECT_NE(busy.get().Bytes.find("读卡成功"), std::string::npos) << "the transaction already running is answered";
    CurrentMemberDevice = &m_device;
}

TEST_F(MemberServerTest, StopWhileThePrinterCallHangsGivesItUpAndTheClientGetsTheFailure)
{
    m_server.Start(0, &m_pane);
    const uint16_t port = m_server.LocalPort();
    auto hung = std::async(std::launch::async, [port] { return Exchange(port, Framed(kWriteRequest), 0, 15000); });
    while (m_device.Calls().empty()) {
        std::this_thread::sleep_for(5ms);
    }
    EXPECT_THROW(m_server.Stop(), EStopTimeout);
    EXPECT_EQ(m_device.GiveUps, 1);
    EXPECT_NE(hung.get().Bytes.find("写卡失败"), std::string::npos);

    const auto start = std::chrono::steady_clock::now();
    m_server.Stop();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 2s) << "nothing is left to wait for";
    EXPECT_EQ(m_device.GiveUps, 1);
    EXPECT_FALSE(m_server.Listening());
    EXPECT_EQ(LogLinesEqualTo(Log(), "写卡失败,卡号为:00012345"), 1u);
    EXPECT_EQ(m_pane.Lines().back(), "HTTP接口已经停止。");
}

} // namespace
