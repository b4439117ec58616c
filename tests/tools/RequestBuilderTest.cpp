#include "RecordingDevice.h"
#include "RequestBuilder.h"

#include "member/MemberMessageHandlerUnit.h"
#include "shell/ServerExecute.h"
#include "shell/TextCodec.h"
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
        TCPServerExecute(nullptr, connection, bytes);
        return connection.Written;
    }

    TRecordingDevice m_device;
};

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

    EXPECT_EQ(m_device.Operation, "write");
    EXPECT_EQ(m_device.CardNo, " 0001&<2>");
    EXPECT_EQ(m_device.ExpireDate, "2030-12-31");
    EXPECT_EQ(m_device.GuestName, Gbk("张三\r\n李四\t "));
    EXPECT_EQ(m_device.Score, "]]>");
    EXPECT_EQ(m_device.Channel, 11);
    EXPECT_NE(answer.find("<ResultCode>200</ResultCode>"), std::string::npos) << answer;
}

TEST_F(RequestBuilderTest, WriteWithoutChannelOrValuesStillReachesTheDevice)
{
    TClientArguments args;
    args.Command = TClientCommand::Write;
    args.CardNo = "1";
    Serve(args);
    EXPECT_EQ(m_device.Operation, "write");
    EXPECT_EQ(m_device.Channel, -1);
    EXPECT_EQ(m_device.GuestName, "");
}

TEST_F(RequestBuilderTest, ReadSendsTheFlagAndChannel)
{
    for (const bool flag : {false, true}) {
        TClientArguments args;
        args.Command = TClientCommand::Read;
        args.InputPassword = flag;
        args.Channel = "11";
        Serve(args);
        EXPECT_EQ(m_device.Operation, "read");
        EXPECT_EQ(m_device.InputPassword, flag);
        EXPECT_EQ(m_device.Channel, 11);
    }
}

TEST_F(RequestBuilderTest, PrintKeepsLineBreaksAsTyped)
{
    TClientArguments args;
    args.Command = TClientCommand::Print;
    args.CardNo = "9";
    args.Content = "\r\n当前消费:100\r\n卡内余额:300\n";
    Serve(args);
    EXPECT_EQ(m_device.Operation, "print");
    EXPECT_EQ(m_device.Content, Gbk("\r\n当前消费:100\r\n卡内余额:300\n"));

    args.Content.reset();
    Serve(args);
    EXPECT_EQ(m_device.Content, "");
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
