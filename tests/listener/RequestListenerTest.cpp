#include "listener/RequestListener.h"

#include "base/InfoSink.h"
#include "base/TextCodec.h"
#include "config/SysOptionUnit.h"
#include "member/DeviceQueue.h"
#include "listener/ServerExecute.h"

#include "support/DeviceHold.h"
#include "support/LoopbackClient.h"
#include "support/RecordingMember.h"
#include "support/RunToEnd.h"
#include "support/TestEnvironment.h"

#include <QDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <future>
#include <thread>

namespace {

const std::string kWriteRequest = "<Request type=\"WriteMemberCard\"><RequestID>1</RequestID><CardNo>00012345</CardNo>"
                                   "<ExpireDate>2027-01-01</ExpireDate><GuestName>张三</GuestName><Score>10</Score>"
                                   "</Request>";
const std::string kReadRequest = "<Request type=\"ReadMemberCard\"><InputPassword>0</InputPassword></Request>";
const std::string kPrintRequest
    = "<Request type=\"PrintMemberCard\"><RequestID>1</RequestID><CardNo>8</CardNo><Content>x</Content></Request>";

class TRecordingInfo : public TInfoSink {
public:
    void AppendLine(const QString& line) override { Lines.push_back(line.toStdString()); }
    std::vector<std::string> Lines;
};

class RequestListenerTest : public TProcessObjectsTest {
protected:
    void SetUp() override
    {
        TProcessObjectsTest::SetUp();
        CurrentMemberDevice = &m_device;
        m_listener = std::make_unique<TRequestListener>(&m_info, [this](TClientConnection& c, std::string line) {
            return TCPServerExecute(c, std::move(line));
        });
        m_listener->Start(0);
        m_port = m_listener->LocalPort();
    }

    void TearDown() override
    {
        m_listener.reset();
        TProcessObjectsTest::TearDown();
    }

    // The log entries once count of them are there (handlers log after
    // answering, so the client can be faster than the last entry).
    std::vector<std::string> LogWhenComplete(size_t count)
    {
        for (int i = 0; i < 500 && Log().size() < count; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return Log();
    }

    TRecordingMember m_device;
    TRecordingInfo m_info;
    std::unique_ptr<TRequestListener> m_listener;
    uint16_t m_port = 0;
};

TEST_F(RequestListenerTest, AnswersEachTypeAndCloses)
{
    const TLoopbackReply write = Exchange(m_port, Framed(kWriteRequest));
    EXPECT_TRUE(write.ClosedByServer);
    EXPECT_EQ(write.Bytes.size(), 233u);
    EXPECT_EQ(write.Bytes.back(), '\0');

    const TLoopbackReply read = Exchange(m_port, Framed(kReadRequest));
    EXPECT_NE(read.Bytes.find("<ResultMessage>读卡成功</ResultMessage><CardNo>00012345</CardNo>"), std::string::npos);
    const TLoopbackReply print = Exchange(m_port, Framed(kPrintRequest));
    EXPECT_NE(print.Bytes.find("<ResultMessage>打印卡成功</ResultMessage>"), std::string::npos);
}

TEST_F(RequestListenerTest, UnanswerableRequestsGetAClosedConnectionAndNoByte)
{
    const std::string requests[] = {
        "<Request type=\"WriteMemberCard\"><CardNo>1</CardNo>",
        "<Request type=\"writemembercard\"/>",
        "<Request type=\"WriteMemberCard\"><RequestID/><CardNo>1</CardNo></Request>",
        "<Request type=\"ReadMemberCard\"><InputPassword>1</InputPassword><Channel>x</Channel></Request>",
        std::string(1, '\xC3'),
        "",
    };
    for (const std::string& request : requests) {
        const TLoopbackReply reply = Exchange(m_port, Framed(request));
        EXPECT_TRUE(reply.ClosedByServer) << request;
        EXPECT_EQ(reply.Bytes, "") << request;
    }
    EXPECT_TRUE(m_device.Calls().empty());
}

TEST_F(RequestListenerTest, LongestLineIsServedOneMoreByteIsNot)
{
    std::string padded = kReadRequest;
    padded.resize(16384, ' ');
    EXPECT_FALSE(Exchange(m_port, Framed(padded)).Bytes.empty());
    padded.push_back(' ');
    const TLoopbackReply tooLong = Exchange(m_port, Framed(padded));
    EXPECT_TRUE(tooLong.ClosedByServer);
    EXPECT_EQ(tooLong.Bytes, "");
}

TEST_F(RequestListenerTest, EndlessLineIsCutOffAsSoonAsItIsTooLong)
{
    // 20 KB without a zero byte; the client does not close, the server must.
    const TLoopbackReply reply = Exchange(m_port, std::string(20000, 'a'), 0, 5000);
    EXPECT_TRUE(reply.ClosedByServer);
    EXPECT_EQ(reply.Bytes, "");
}

TEST_F(RequestListenerTest, RequestSplitOverManySmallWrites)
{
    const TLoopbackReply reply = Exchange(m_port, Framed(kWriteRequest), 7);
    EXPECT_EQ(reply.Bytes.size(), 233u);
}

TEST_F(RequestListenerTest, OnlyTheFirstRequestOnAConnectionIsServed)
{
    const TLoopbackReply reply = Exchange(m_port, Framed(kReadRequest) + Framed(kWriteRequest));
    EXPECT_EQ(std::count(reply.Bytes.begin(), reply.Bytes.end(), '\0'), 1);
    EXPECT_NE(reply.Bytes.find("读卡成功"), std::string::npos);
    EXPECT_EQ(m_device.Calls().size(), 1u);
}

TEST_F(RequestListenerTest, CrLfBeforeTheZeroByteReachesTheHandler)
{
    Exchange(m_port, Framed(kReadRequest + "\r\n"));
    const auto log = LogWhenComplete(2);
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log[0], Gbk("收到消息: \r\n\t") + kReadRequest + "\\r\\n");
}

TEST_F(RequestListenerTest, ClientLeavingMidLineGivesAnEmptyRequest)
{
    const TLoopbackReply reply = Exchange(m_port, "<Request type=", 0, 5000, true);
    EXPECT_TRUE(reply.ClosedByServer);
    EXPECT_EQ(reply.Bytes, "");
    EXPECT_EQ(LogWhenComplete(1), (std::vector<std::string> {Gbk("收到消息: \r\n\t")}));
}

TEST_F(RequestListenerTest, ClientShuttingDownRightAfterTheZeroByteStillGetsItsAnswer)
{
    const TLoopbackReply reply = Exchange(m_port, Framed(kReadRequest), 0, 10000, true);
    EXPECT_NE(reply.Bytes.find("读卡成功"), std::string::npos);
}

TEST_F(RequestListenerTest, ConnectAndLeaveLeavesNoTrace)
{
    EXPECT_TRUE(Exchange(m_port, "", 0, 2000, true).ClosedByServer);
    for (int i = 0; i < 200 && m_listener->LiveConnections() != 0; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    EXPECT_EQ(m_listener->LiveConnections(), 0u);
    EXPECT_TRUE(Log().empty());
}

TEST_F(RequestListenerTest, ConcurrentRequestsAreAllAnsweredAndLoggedWithoutOverlap)
{
    constexpr int kClients = 200;
    m_device.Hold = std::chrono::milliseconds(1);
    std::vector<std::future<TLoopbackReply>> replies;
    for (int i = 0; i < kClients; ++i) {
        replies.push_back(std::async(std::launch::async, [this] { return Exchange(m_port, Framed(kWriteRequest)); }));
    }
    int answered = 0;
    for (auto& reply : replies) {
        answered += reply.get().Bytes.size() == 233u ? 1 : 0;
    }
    EXPECT_EQ(answered, kClients);
    EXPECT_EQ(LogWhenComplete(2 * kClients).size(), static_cast<size_t>(2 * kClients));
    EXPECT_FALSE(m_device.Overlapped);
}

TEST_F(RequestListenerTest, StopClosesWaitingConnectionsAndAppendsTheStopLine)
{
    auto idle = std::async(std::launch::async, [this] { return Exchange(m_port, "<Request", 0, 10000); });
    while (m_listener->LiveConnections() == 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    m_listener->Stop();
    const TLoopbackReply reply = idle.get();
    EXPECT_TRUE(reply.ClosedByServer);
    EXPECT_EQ(reply.Bytes, "");
    EXPECT_EQ(m_info.Lines, (std::vector<std::string> {"会员卡接口监听服务器已经启动...", "接口监听服务器已经停止。"}));
    EXPECT_FALSE(Exchange(m_port, Framed(kReadRequest)).Connected);
}

// Sends: half a request, then nothing; a whole request on another
// connection that waits for nothing.
TEST_F(RequestListenerTest, AClientThatDoesNotCompleteItsRequestInTimeIsClosedWithoutAByte)
{
    m_listener->Stop();
    SysOption->RequestTimeoutSec = 1;
    m_listener = std::make_unique<TRequestListener>(&m_info, [](TClientConnection& connection, std::string line) {
        return TCPServerExecute(connection, std::move(line));
    });
    m_listener->Start(0);
    TLoopbackClient idle(m_listener->LocalPort());
    idle.Send(Framed(kReadRequest).substr(0, 20));
    const TLoopbackReply cut = idle.Receive(5000);
    EXPECT_TRUE(cut.ClosedByServer);
    EXPECT_EQ(cut.Bytes, "");
    EXPECT_NE(Exchange(m_listener->LocalPort(), Framed(kReadRequest)).Bytes.find("读卡成功"), std::string::npos);
    EXPECT_EQ(m_device.Calls().size(), 1u);
}

TEST_F(RequestListenerTest, StopTimesOutWhileAHandlerIsStillBusy)
{
    m_device.Hold = std::chrono::milliseconds(6000);
    auto busy = std::async(std::launch::async, [this] { return Exchange(m_port, Framed(kReadRequest), 0, 15000); });
    while (m_device.Calls().empty()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    EXPECT_THROW(m_listener->Stop(), EStopTimeout);
    EXPECT_TRUE(m_listener->Active());
    EXPECT_EQ(m_info.Lines.size(), 1u) << "no stop line after a failed stop";
    m_listener->Stop();
    EXPECT_FALSE(m_listener->Active());
    EXPECT_NE(busy.get().Bytes.find("读卡成功"), std::string::npos) << "the transaction already running is answered";
}

// One thread serves every connection; while a card transaction holds it,
// the other steps in, so a client is still taken in and answered before the
// transaction is over.
TEST_F(RequestListenerTest, OtherClientsAreServedWhileATransactionHoldsTheServingThread)
{
    m_device.Hold = std::chrono::milliseconds(3000);
    auto busy = std::async(std::launch::async, [this] { return Exchange(m_port, Framed(kReadRequest), 0, 15000); });
    while (m_device.Calls().empty()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    const TLoopbackReply other = Exchange(m_port, Framed("hello"));
    EXPECT_TRUE(other.ClosedByServer);
    EXPECT_EQ(other.Bytes, "");
    EXPECT_EQ(busy.wait_for(std::chrono::seconds(0)), std::future_status::timeout) << "the transaction is still running";
    EXPECT_NE(busy.get().Bytes.find("读卡成功"), std::string::npos);
}

// --- Waiting for the device -------------------------------------------------

// Waits (boundedly) until the device queue holds that many turns and steps.
bool QueuedBecomes(size_t count)
{
    for (int i = 0; i < 2000 && DeviceQueue.Queued() != count; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return DeviceQueue.Queued() == count;
}

int64_t ProcessThreads()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.starts_with("Threads:")) {
            return std::stoll(line.substr(8));
        }
    }
    return -1;
}

size_t LogLinesEqualTo(const std::vector<std::string>& log, const std::string& utf8)
{
    return static_cast<size_t>(std::count(log.begin(), log.end(), Gbk(utf8)));
}

TEST_F(RequestListenerTest, ABurstWaitsWithoutThreadsAndIsServedInArrivalOrder)
{
    Exchange(m_port, Framed(kReadRequest));
    constexpr int kClients = 100;
    std::vector<std::unique_ptr<TLoopbackClient>> clients;
    {
        // The operator's test dialog holds the device meanwhile.
        const TDeviceHold dialog;
        const int64_t threadsBefore = ProcessThreads();
        for (int i = 0; i < kClients; ++i) {
            clients.push_back(std::make_unique<TLoopbackClient>(m_port));
            clients.back()->Send(Framed("<R type=\"WriteMemberCard\"><RequestID/><CardNo>" + std::to_string(i)
                + "</CardNo><ExpireDate/><GuestName/><Score/></R>"));
            ASSERT_TRUE(QueuedBecomes(static_cast<size_t>(i) + 2));
        }
        EXPECT_LE(ProcessThreads(), threadsBefore);
    }
    for (const auto& client : clients) {
        EXPECT_NE(client->Receive().Bytes.find("写卡成功"), std::string::npos);
    }
    const auto calls = m_device.Calls();
    ASSERT_EQ(calls.size(), kClients + 1u);
    for (int i = 0; i < kClients; ++i) {
        EXPECT_EQ(calls[i + 1].Args.at(0), std::to_string(i));
    }
}

TEST_F(RequestListenerTest, AClientResettingWhileQueuedIsDroppedOneHalfClosingIsServed)
{
    TLoopbackClient resetting(m_port);
    TLoopbackClient halfClosing(m_port);
    {
        const TDeviceHold running;
        // Bytes after the zero byte hide neither the reset nor the end of
        // the stream behind them.
        resetting.Send(Framed(kWriteRequest) + "more");
        halfClosing.Send(Framed(kReadRequest) + "more");
        halfClosing.ShutdownSending();
        ASSERT_TRUE(QueuedBecomes(3));
        resetting.Reset();
        // The reset stays unseen until the request's turn comes; on
        // loopback it has arrived long before the pause is over.
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
    EXPECT_NE(halfClosing.Receive().Bytes.find("读卡成功"), std::string::npos);
    const auto calls = m_device.Calls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].Operation, "ReadCard");
    EXPECT_EQ(LogLinesEqualTo(LogWhenComplete(5), "客户端已断开,请求未执行."), 1u);
}

// Sends: a line that looks like an entry of the program's, as the whole
// request, and after CR LF in a card number.
TEST_F(RequestListenerTest, AForgedEntryNeverBeginsALineOfTheLog)
{
    const std::string forged = "2025-01-01 00:00:00 写卡成功,卡号为:FORGED";
    Exchange(m_port, Framed(forged));
    Exchange(m_port,
        Framed("<Request type=\"WriteMemberCard\"><RequestID>1</RequestID><CardNo>1&#13;&#10;" + forged
            + "</CardNo><ExpireDate/><GuestName/><Score/></Request>"));
    const auto log = LogWhenComplete(3);
    ASSERT_EQ(log.size(), 3u);
    const std::string bytes = LogBytes();
    EXPECT_NE(bytes.find(Gbk(forged)), std::string::npos);
    EXPECT_FALSE(bytes.starts_with(Gbk(forged)));
    EXPECT_EQ(bytes.find("\n" + Gbk(forged)), std::string::npos);
}

TEST_F(RequestListenerTest, ConformanceDocumentsGetNoAnswerAndTheServerStaysUp)
{
    const QDir root(QStringLiteral(MEMBER_XMLCONF_DIR));
    if (!root.exists()) {
        GTEST_SKIP() << "the W3C XML conformance test suite (xmlconf) is not at " MEMBER_XMLCONF_DIR
                          ": it is kept beside the project as ../shared/testdata/xmlconf, never copied into it";
    }
    int sent = 0;
    for (const char* folder : {"xmltest/not-wf/sa", "xmltest/valid/sa"}) {
        const QDir dir(root.filePath(QString::fromLatin1(folder)));
        for (const QString& name : dir.entryList({QStringLiteral("*.xml")}, QDir::Files)) {
            const std::string bytes = ReadFileBytes(dir.filePath(name).toStdString());
            const TLoopbackReply reply = Exchange(m_port, Framed(bytes), 0, 5000);
            EXPECT_TRUE(reply.ClosedByServer) << folder << "/" << name.toStdString();
            EXPECT_EQ(reply.Bytes, "") << folder << "/" << name.toStdString();
            ++sent;
        }
    }
    EXPECT_GT(sent, 300);
    EXPECT_EQ(Exchange(m_port, Framed(kWriteRequest)).Bytes.size(), 233u);
}

} // namespace
