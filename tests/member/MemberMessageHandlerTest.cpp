#include "base/TextCodec.h"
#include "config/SysOptionUnit.h"
#include "member/DeviceQueue.h"
#include "member/MemberMessageHandlerUnit.h"
#include "RequestDocument.h"

#include "support/DeviceHold.h"
#include "support/RecordingMember.h"
#include "support/TestEnvironment.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <thread>

namespace {

const std::string kWrite00012345 = "<DoorResponse><RequestID></RequestID><ResultCode>200</ResultCode>"
                                   "<ResultMessage>写卡成功</ResultMessage><CardNo>00012345</CardNo>"
                                   "<ExpireDate></ExpireDate><GuestName></GuestName><Score></Score>"
                                   "<Password></Password></DoorResponse>";

std::string WriteRequest(const std::string& inner)
{
    return "<Request type=\"WriteMemberCard\"><RequestID>7</RequestID>" + inner + "</Request>";
}

std::string FullWrite(const std::string& cardNo, const std::string& extra = "")
{
    return WriteRequest("<CardNo>" + cardNo
        + "</CardNo><ExpireDate>2027-12-31</ExpireDate><GuestName>张三</GuestName><Score>100</Score>" + extra);
}

class MemberMessageHandlerTest : public TProcessObjectsTest {
protected:
    void SetUp() override
    {
        TProcessObjectsTest::SetUp();
        CurrentMemberDevice = &m_device;
    }

    // The bytes written back, after handling the UTF-8 request text.
    std::string Handle(const std::string& utf8)
    {
        TRecordingConnection connection;
        TMemberMessageHandler handler;
        try {
            RunToEnd(handler.HandleMessage(connection, QString::fromUtf8(utf8)));
        } catch (const ERequestAbandoned&) {
            EXPECT_TRUE(connection.Written.empty());
        }
        return connection.Written;
    }

    std::vector<std::string> Args(size_t call = 0) const
    {
        const auto calls = m_device.Calls();
        return call < calls.size() ? calls[call].Args : std::vector<std::string> {};
    }

    TRecordingMember m_device;
};

TEST_F(MemberMessageHandlerTest, SuccessfulWriteAnswersTheExactBytesAndLogs)
{
    const std::string request = FullWrite("00012345");
    const std::string reply = Handle(request);
    EXPECT_EQ(reply, kWrite00012345 + std::string(1, '\0'));
    EXPECT_EQ(reply.size(), 233u);
    EXPECT_EQ(Args(), (std::vector<std::string> {"00012345", "2027-12-31", Gbk("张三"), "100", "-1"}));
    EXPECT_EQ(Log(), (std::vector<std::string> {Gbk("收到消息: \r\n\t") + Gbk(request), Gbk("写卡成功,卡号为:00012345")}));
}

// Sends: a card number carrying CR LF and a forged, time-stamped entry.
TEST_F(MemberMessageHandlerTest, AValueCannotForgeALogEntry)
{
    const std::string forged = "1&#13;&#10;2026-12-07 10:00:00 写卡成功,卡号为:99";
    Handle(FullWrite(forged));
    const auto log = Log();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0].find("\r\n2026"), std::string::npos);
    EXPECT_EQ(log[1], Gbk("写卡成功,卡号为:1\\r\\n2026-12-07 10:00:00 写卡成功,卡号为:99"));
}

TEST_F(MemberMessageHandlerTest, FailuresAnswer500WithTheTypeMessage)
{
    m_device.Result = false;
    EXPECT_NE(Handle(FullWrite("42")).find("<ResultCode>500</ResultCode><ResultMessage>写卡失败</ResultMessage>"
                                           "<CardNo>42</CardNo>"),
        std::string::npos);
    EXPECT_EQ(Log().back(), Gbk("写卡失败,卡号为:42"));

    EXPECT_EQ(Handle("<r type=\"ReadMemberCard\"><InputPassword>1</InputPassword></r>"),
        "<DoorResponse><RequestID></RequestID><ResultCode>500</ResultCode><ResultMessage>读卡失败</ResultMessage>"
        "<CardNo></CardNo><ExpireDate></ExpireDate><GuestName></GuestName><Score></Score><Password></Password>"
        "</DoorResponse>"
        + std::string(1, '\0'));
    EXPECT_EQ(Log().back(), Gbk("读卡失败"));

    const std::string print = Handle("<r type=\"PrintMemberCard\"><RequestID/><CardNo>9</CardNo></r>");
    EXPECT_NE(print.find("<ResultCode>500</ResultCode><ResultMessage>打印卡失败</ResultMessage><CardNo></CardNo>"),
        std::string::npos);
    EXPECT_EQ(Log().back(), Gbk("打印卡失败"));
}

TEST_F(MemberMessageHandlerTest, NoDeviceCountsAsFailureAfterTheContentLine)
{
    CurrentMemberDevice = nullptr;
    EXPECT_NE(Handle(FullWrite("00012345")).find("写卡失败</ResultMessage><CardNo>00012345</CardNo>"), std::string::npos);
    EXPECT_NE(Handle("<r type=\"PrintMemberCard\"><RequestID/><CardNo>9</CardNo><Content>x</Content></r>")
                  .find("打印卡失败"),
        std::string::npos);
    const auto log = Log();
    ASSERT_GE(log.size(), 2u);
    EXPECT_EQ(log[log.size() - 2], "Content=x");
    EXPECT_EQ(log.back(), Gbk("打印卡失败"));
}

TEST_F(MemberMessageHandlerTest, ADeviceTakenAwayWhileARequestWaitsForItIsNotUsed)
{
    // Shut-down takes the device away in its turn.
    std::string reply;
    std::thread request;
    {
        const TDeviceHold shutDown;
        request = std::thread([&] { reply = Handle(FullWrite("1")); });
        // Bounded, so a request that never queues fails the test instead
        // of leaving it spinning.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (DeviceQueue.Queued() < 2 && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::yield();
        }
        CurrentMemberDevice = nullptr;
    }
    request.join();
    EXPECT_NE(reply.find("写卡失败"), std::string::npos);
    EXPECT_TRUE(m_device.Calls().empty());
}

TEST_F(MemberMessageHandlerTest, ReadHandsBackWhatTheDeviceRead)
{
    m_device.ReadPassword = "pw";
    m_device.ReadGuestName = Gbk("李四");
    const std::string reply = Handle("<x type=\"ReadMemberCard\"><InputPassword>1</InputPassword></x>");
    EXPECT_EQ(reply,
        "<DoorResponse><RequestID></RequestID><ResultCode>200</ResultCode><ResultMessage>读卡成功</ResultMessage>"
        "<CardNo>00012345</CardNo><ExpireDate></ExpireDate><GuestName>李四</GuestName><Score></Score>"
        "<Password>pw</Password></DoorResponse>"
        + std::string(1, '\0'));
    EXPECT_EQ(Args(), (std::vector<std::string> {"1", "-1"}));
    EXPECT_EQ(Log().back(), Gbk("读卡成功，卡号为：00012345"));
}

TEST_F(MemberMessageHandlerTest, PrintLogsContentFirstAndSendsNoCardNo)
{
    const std::string reply
        = Handle("<r type=\"PrintMemberCard\"><RequestID>1</RequestID><CardNo>88</CardNo><Content>\r\n当前消费:100\r\n"
                 "卡内余额:300</Content></r>");
    EXPECT_NE(reply.find("<ResultCode>200</ResultCode><ResultMessage>打印卡成功</ResultMessage><CardNo></CardNo>"),
        std::string::npos);
    EXPECT_EQ(Args(), (std::vector<std::string> {"88", Gbk("\n当前消费:100\n卡内余额:300")}));
    const auto log = Log();
    ASSERT_EQ(log.size(), 3u);
    EXPECT_EQ(log[1], Gbk("Content=\\n当前消费:100\\n卡内余额:300"));
    EXPECT_EQ(log[2], Gbk("打印卡成功"));

    Handle("<r type=\"PrintMemberCard\"><RequestID/><CardNo>88</CardNo></r>");
    EXPECT_EQ(Log()[4], "Content=");
    EXPECT_EQ(Args(1), (std::vector<std::string> {"88", ""}));
}

// Sends: 15 KB card numbers to write and 8 KB contents to print, well past
// a day's bound of 1 MB.
TEST_F(MemberMessageHandlerTest, PastTheDaysBoundARequestAddsOnlyItsFixedLines)
{
    SysOption->LogMaxMB = 1;
    const std::string write = FullWrite(std::string(15000, '9'));
    const std::string print = "<r type=\"PrintMemberCard\"><RequestID/><CardNo>1</CardNo><Content>"
        + std::string(8000, 'c') + "</Content></r>";
    for (int i = 0; i < 50; ++i) {
        Handle(write);
        Handle(print);
    }
    const size_t before = LogBytes().size();
    ASSERT_GT(before, 1024u * 1024u);
    for (int i = 0; i < 50; ++i) {
        Handle(write);
        Handle(print);
    }
    // Three short lines for each pair: the write's result with the card
    // number's length, Content= with the content's length, the print's
    // result; no value's bytes.
    EXPECT_LT(LogBytes().size() - before, 50u * 160u);
    const auto log = Log();
    EXPECT_EQ(std::count_if(log.begin(), log.end(), [](const std::string& e) { return e.find("LogMaxMB") != e.npos; }),
        1);
    ASSERT_GE(log.size(), 3u);
    EXPECT_EQ(log[log.size() - 3], Gbk("写卡成功,卡号为:…(15000 bytes)"));
    EXPECT_EQ(log[log.size() - 2], Gbk("Content=…(8000 bytes)"));
}

struct TSilentCase {
    const char* name;
    std::string request;
};

class UnansweredRequestTest : public MemberMessageHandlerTest, public ::testing::WithParamInterface<TSilentCase> { };

TEST_P(UnansweredRequestTest, SendsNothingAndNeverTouchesTheDevice)
{
    EXPECT_EQ(Handle(GetParam().request), "");
    EXPECT_TRUE(m_device.Calls().empty());
    EXPECT_EQ(Log().size(), 1u) << "only the arrival line";
}

INSTANTIATE_TEST_SUITE_P(Cases, UnansweredRequestTest,
    ::testing::Values(TSilentCase {"Empty", ""}, TSilentCase {"NotXml", "hello"},
        TSilentCase {"TwoRoots", FullWrite("1") + "<b/>"}, TSilentCase {"TextAfterRoot", FullWrite("1") + "x"},
        TSilentCase {"UndefinedEntity", WriteRequest("<CardNo>&foo;</CardNo>")},
        TSilentCase {"DuplicateAttribute", "<r type=\"ReadMemberCard\" type=\"x\"><InputPassword/></r>"},
        TSilentCase {"LessThanInAttribute", "<r type=\"Read<\"><InputPassword/></r>"},
        TSilentCase {"NoType", "<r><InputPassword>1</InputPassword></r>"},
        TSilentCase {"LowerCaseType", "<r type=\"readmembercard\"><InputPassword>1</InputPassword></r>"},
        TSilentCase {"UnknownType", "<r type=\"OpenDoor\"><InputPassword>1</InputPassword></r>"},
        TSilentCase {"WriteWithoutRequestID",
            "<r type=\"WriteMemberCard\"><CardNo>1</CardNo><ExpireDate/><GuestName/><Score/></r>"},
        TSilentCase {"WriteWithoutScore", WriteRequest("<CardNo>1</CardNo><ExpireDate/><GuestName/>")},
        TSilentCase {"WriteWithoutCardNo", WriteRequest("<ExpireDate/><GuestName/><Score/>")},
        TSilentCase {"CardNoOnlyNested", WriteRequest("<Wrap><CardNo>1</CardNo></Wrap><ExpireDate/><GuestName/><Score/>")},
        TSilentCase {"ReadWithoutInputPassword", "<r type=\"ReadMemberCard\"><Channel>1</Channel></r>"},
        TSilentCase {"PrintWithoutRequestID", "<r type=\"PrintMemberCard\"><CardNo>1</CardNo></r>"},
        TSilentCase {"ChannelTrailingSpace", FullWrite("1", "<Channel>11 </Channel>")},
        TSilentCase {"ChannelEmpty", FullWrite("1", "<Channel></Channel>")},
        TSilentCase {"ChannelLetters", "<r type=\"ReadMemberCard\"><InputPassword/><Channel>abc</Channel></r>"},
        TSilentCase {"ChannelOutOfRange", FullWrite("1", "<Channel>2147483648</Channel>")}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(MemberMessageHandlerTest, ChannelAndInputPasswordConversions)
{
    const struct {
        const char* channel;
        const char* expected;
    } channels[] = {{"11", "11"}, {"   11", "11"}, {"+11", "11"}, {"$B", "11"}, {"0xb", "11"}, {"-1", "-1"}};
    for (const auto& c : channels) {
        Handle(FullWrite("1", std::string("<Channel>") + c.channel + "</Channel>"));
        EXPECT_EQ(Args(m_device.Calls().size() - 1).back(), c.expected) << c.channel;
    }
    const struct {
        const char* value;
        const char* flag;
    } flags[] = {{"1", "1"}, {"01", "0"}, {"true", "0"}, {" 1", "0"}, {"", "0"}};
    for (const auto& f : flags) {
        Handle(std::string("<r type=\"ReadMemberCard\"><InputPassword>") + f.value + "</InputPassword></r>");
        EXPECT_EQ(Args(m_device.Calls().size() - 1).front(), f.flag) << "'" << f.value << "'";
    }
}

TEST_F(MemberMessageHandlerTest, ValuesAreTakenAsSent)
{
    Handle("<Any type=\"WriteMemberCard\"><RequestID/><CardNo> 1</CardNo><CardNo>2</CardNo>"
           "<ExpireDate><y>20</y>27<![CDATA[<x>]]></ExpireDate><GuestName>Ann </GuestName><Score>  </Score></Any>");
    EXPECT_EQ(Args(), (std::vector<std::string> {" 1", "2027<x>", "Ann ", "  ", "-1"}));
}

TEST_F(MemberMessageHandlerTest, CharactersGbkLacksBecomeQuestionMarks)
{
    Handle(FullWrite("1").replace(FullWrite("1").find("张三"), 6, "Zoë😀\u200B"));
    EXPECT_EQ(Args()[2], "Zo???");
}

TEST_F(MemberMessageHandlerTest, MarkupInValuesIsEscapedSoNothingCanBeForged)
{
    const std::string reply = Handle(FullWrite("&lt;/CardNo&gt;&lt;ResultCode&gt;200&amp;"));
    ASSERT_FALSE(reply.empty());
    EXPECT_NE(reply.find("<CardNo>&lt;/CardNo&gt;&lt;ResultCode&gt;200&amp;</CardNo>"), std::string::npos);
    const QDomDocument doc = ParseRequestDocument(QString::fromUtf8(reply.substr(0, reply.size() - 1)));
    EXPECT_EQ(doc.documentElement().firstChildElement(QStringLiteral("CardNo")).text(),
        QStringLiteral("</CardNo><ResultCode>200&"));
}

TEST_F(MemberMessageHandlerTest, ALostClientIsNotAnError)
{
    TRecordingConnection gone;
    gone.FailWrites = true;
    TMemberMessageHandler handler;
    EXPECT_NO_THROW(RunToEnd(handler.HandleMessage(gone, QString::fromUtf8(FullWrite("1")))));
    EXPECT_EQ(Log().back(), Gbk("写卡成功,卡号为:1"));
}

} // namespace
