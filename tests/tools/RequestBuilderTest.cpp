#include "RequestBuilder.h"

#include "base/TextCodec.h"
#include "member/MemberMessageHandlerUnit.h"
#include "listener/ServerExecute.h"
#include "support/RecordingMember.h"
#include "support/TestEnvironment.h"

namespace {

// Every request the client builds goes through the server's own connection
// procedure, so these tests hold the client to what the server reads.
class RequestBuilderTest : public TProcessObjectsTest {
protected:
    void SetUp() override
    {
        TProcessObjectsTest::SetUp();
        CurrentMemberDevice = &m_device;
    }

    // Runs the built request the way the listener would and returns what
    // the server wrote back.
    std::string Serve(const TClientArguments& args)
    {
        std::string bytes = BuildRequest(args);
        EXPECT_EQ(bytes.back(), '\0');
        EXPECT_EQ(bytes.find('\0'), bytes.size() - 1) << "one zero byte, at the end";
        bytes.pop_back();
        TRecordingConnection connection;
        RunToEnd(TCPServerExecute(connection, bytes));
        return connection.Written;
    }

    // The arguments of the one device call the request made.
    TRecordingMember::TCall LastCall() const
    {
        const std::vector<TRecordingMember::TCall> calls = m_device.Calls();
        return calls.empty() ? TRecordingMember::TCall {} : calls.back();
    }

    TRecordingMember m_device;
};

using TArgs = std::vector<std::string>;

TEST_F(RequestBuilderTest, WriteCarriesEveryValueExactly)
{
    TClientArguments args;
    args.Command = TClientCommand::Write;
    args.CardNo = " 0001&<2>";
    args.ExpireDate = "2030-12-31";
    args.GuestName = "张三\r\n李四\t ";
    args.Score = "]]>";
    args.Channel = "0xb";
    const std::string answer = Serve(args);

    EXPECT_EQ(LastCall().Operation, "WriteCard");
    EXPECT_EQ(LastCall().Args, (TArgs {" 0001&<2>", "2030-12-31", Gbk("张三\r\n李四\t "), "]]>", "11"}));
    EXPECT_NE(answer.find("<ResultCode>200</ResultCode>"), std::string::npos) << answer;
}

TEST_F(RequestBuilderTest, WriteWithoutChannelOrValuesStillReachesTheDevice)
{
    TClientArguments args;
    args.Command = TClientCommand::Write;
    args.CardNo = "1";
    Serve(args);
    EXPECT_EQ(LastCall().Operation, "WriteCard");
    EXPECT_EQ(LastCall().Args, (TArgs {"1", "", "", "", "-1"}));
}

TEST_F(RequestBuilderTest, ReadSendsTheFlagAndChannel)
{
    for (const bool flag : {false, true}) {
        TClientArguments args;
        args.Command = TClientCommand::Read;
        args.InputPassword = flag;
        args.Channel = "11";
        Serve(args);
        EXPECT_EQ(LastCall().Operation, "ReadCard");
        EXPECT_EQ(LastCall().Args, (TArgs {flag ? "1" : "0", "11"}));
    }
}

TEST_F(RequestBuilderTest, PrintKeepsLineBreaksAsTyped)
{
    TClientArguments args;
    args.Command = TClientCommand::Print;
    args.CardNo = "9";
    args.Content = "\r\n当前消费:100\r\n卡内余额:300\n";
    Serve(args);
    EXPECT_EQ(LastCall().Operation, "PrintCard");
    EXPECT_EQ(LastCall().Args, (TArgs {"9", Gbk("\r\n当前消费:100\r\n卡内余额:300\n")}));

    args.Content.reset();
    Serve(args);
    EXPECT_EQ(LastCall().Args, (TArgs {"9", ""}));
}

TEST_F(RequestBuilderTest, ValuesXmlCannotCarryAreRefusedBeforeSending)
{
    for (const std::string& bad : {std::string("a\x01"), std::string("\x1b[0m"), std::string("\xC3"),
             std::string("\xEF\xBF\xBF")}) {
        TClientArguments args;
        args.Command = TClientCommand::Write;
        args.CardNo = "1";
        args.GuestName = bad;
        EXPECT_THROW(BuildRequest(args), EUsageError);
    }
}

TEST(FrameRawTest, SendsTheBytesAsTheyAreWithOneZeroByte)
{
    EXPECT_EQ(FrameRaw(""), std::string(1, '\0'));
    EXPECT_EQ(FrameRaw(std::string("a\0b\r\n", 5)), std::string("a\0b\r\n\0", 6));
}

} // namespace
