#include "http/HttpListener.h"

#include "base/InfoSink.h"
#include "base/SocketPlatform.h"
#include "base/TextCodec.h"
#include "config/HttpOption.h"
#include "status/ServiceStatus.h"

#include "support/FreePort.h"
#include "support/LoopbackClient.h"
#include "support/RecordingMember.h"
#include "support/TestEnvironment.h"

#include <gtest/gtest.h>



namespace {

class TRecordingPane : public TInfoSink {
public:
    void AppendLine(const QString& line) override { Lines.push_back(line.toStdString()); }
    std::vector<std::string> Lines;
};

THttpOption Option(const std::string& bindAddress, const std::string& token, int32_t port = 8884)
{
    THttpOption option("");
    option.Enabled = true;
    option.BindAddress = bindAddress;
    option.Token = token;
    option.Port = port;
    return option;
}

class HttpListenerTest : public TProcessObjectsTest {
protected:
    void SetUp() override
    {
        SocketPlatform::PrepareProcess();
        TProcessObjectsTest::SetUp();
        CurrentMemberDevice = &m_device;
    }

    TRecordingPane m_pane;
    TRecordingMember m_device;
};

TEST_F(HttpListenerTest, SettingsThatMustNotListen)
{
    struct TCase {
        THttpOption Option;
        const char* Problem; // part of the English text, or null
    };
    const TCase cases[] = {
        {Option("127.0.0.1", ""), nullptr},
        {Option("::1", ""), nullptr},
        {Option("localhost", ""), nullptr},
        {Option("0.0.0.0", "k9-Zq_7"), nullptr},
        {Option("192.168.1.5", "k9-Zq_7"), nullptr},
        {Option("0.0.0.0", ""), "not a loopback address"},
        {Option("::", ""), "not a loopback address"},
        {Option("192.168.1.5", ""), "no Token is set"},
        {Option("pms-pc", ""), "not a loopback address"},
        {Option("127.0.0.1", "two words"), "Token may hold only"},
        {Option("127.0.0.1", "", 0), "not a TCP port"},
        {Option("127.0.0.1", "", 65536), "not a TCP port"},
        {Option("", ""), "BindAddress is empty"},
    };
    for (const TCase& c : cases) {
        const std::optional<THttpProblem> problem = HttpSettingsProblem(c.Option);
        if (c.Problem == nullptr) {
            EXPECT_FALSE(problem) << c.Option.BindAddress << ": " << problem->English;
        } else {
            ASSERT_TRUE(problem) << c.Option.BindAddress;
            EXPECT_NE(problem->English.find(c.Problem), std::string::npos) << problem->English;
            EXPECT_FALSE(problem->Text.isEmpty());
        }
    }
}

// Sets: BindAddress 0.0.0.0 with no Token. Nothing listens, and the log,
// the log pane and stderr say why.
TEST_F(HttpListenerTest, AnOpenAddressWithoutATokenDoesNotListen)
{
    const uint16_t port = FreePort();
    THttpListener listener(&m_pane);
    testing::internal::CaptureStderr();
    listener.Start(Option("0.0.0.0", "", port));
    const std::string stderrText = testing::internal::GetCapturedStderr();

    EXPECT_FALSE(listener.Listening());
    EXPECT_FALSE(TLoopbackClient(port).Connected());
    ASSERT_TRUE(listener.Problem());
    const std::string line = "HTTP接口未启动: " + listener.Problem()->Text.toStdString();
    EXPECT_NE(line.find("0.0.0.0"), std::string::npos);
    EXPECT_EQ(m_pane.Lines, std::vector<std::string> {line});
    EXPECT_EQ(Log(), std::vector<std::string> {Gbk(line)});
    EXPECT_NE(
        stderrText.find("HTTP API not listening: BindAddress 0.0.0.0 is not a loopback address"), std::string::npos)
        << stderrText;
    // What the status bar shows.
    const TServiceSnapshot status = ServiceStatus().Snapshot();
    EXPECT_EQ(status.HttpApi, THttpApiState::Refused);
    EXPECT_EQ(status.HttpApiProblem, listener.Problem()->Text);
}

TEST_F(HttpListenerTest, DisabledListensNowhereAndSaysNothing)
{
    THttpListener listener(&m_pane);
    THttpOption option = Option("0.0.0.0", "");
    option.Enabled = false;
    listener.Start(option);
    EXPECT_FALSE(listener.Listening());
    EXPECT_FALSE(listener.Problem());
    EXPECT_TRUE(m_pane.Lines.empty());
    EXPECT_TRUE(Log().empty());
}

TEST_F(HttpListenerTest, ATakenPortIsReported)
{
    THttpListener first(nullptr);
    first.Start(Option("127.0.0.1", "", FreePort()));
    ASSERT_TRUE(first.Listening());
    THttpListener second(&m_pane);
    testing::internal::CaptureStderr();
    second.Start(Option("127.0.0.1", "", first.LocalPort()));
    EXPECT_NE(testing::internal::GetCapturedStderr().find("cannot listen on 127.0.0.1 port"), std::string::npos);
    EXPECT_FALSE(second.Listening());
    ASSERT_TRUE(second.Problem());
    first.Stop();
}

} // namespace
