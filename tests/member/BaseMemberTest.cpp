#include "member/BaseMemberUnit.h"

#include "member/MemberMessageHandlerUnit.h"
#include "support/TestEnvironment.h"

#include <gtest/gtest.h>

namespace {

class BaseMemberTest : public TProcessObjectsTest {
protected:
    void SetUp() override
    {
        TProcessObjectsTest::SetUp();
        CurrentMemberDevice = &m_device;
    }

    TBaseMember m_device;
};

// A device kind without card operations keeps the base's bodies: they fail
// and fill in nothing, so every request is answered as failed, never as
// done, and a read hands back no card number.
TEST_F(BaseMemberTest, ADeviceWithoutCardOperationsFailsEveryRequest)
{
    const struct {
        const char* request;
        const char* message;
        const char* cardNo;
    } cases[] = {
        {"<R type=\"WriteMemberCard\"><RequestID>1</RequestID><CardNo>5</CardNo><ExpireDate/><GuestName/><Score/></R>",
            "写卡失败", "5"},
        {"<R type=\"ReadMemberCard\"><InputPassword>1</InputPassword></R>", "读卡失败", ""},
        {"<R type=\"PrintMemberCard\"><RequestID>1</RequestID><CardNo>5</CardNo><Content>x</Content></R>", "打印卡失败",
            ""},
    };
    for (const auto& c : cases) {
        TRecordingConnection connection;
        RunToEnd(TMemberMessageHandler().HandleMessage(connection, QString::fromUtf8(c.request)));
        EXPECT_EQ(connection.Written,
            std::string("<DoorResponse><RequestID></RequestID><ResultCode>500</ResultCode><ResultMessage>") + c.message
                + "</ResultMessage><CardNo>" + c.cardNo
                + "</CardNo><ExpireDate></ExpireDate><GuestName></GuestName><Score></Score><Password></Password>"
                  "</DoorResponse>"
                + std::string(1, '\0'));
    }
}

TEST(BuildResponseTextTest, ElementOrderPutsPasswordLast)
{
    TResponse r;
    r.RequestID = "i";
    r.ResultCode = "c";
    r.ResultMessage = "m";
    r.CardNo = "n";
    r.Password = "p";
    r.ExpireDate = "e";
    r.GuestName = "g";
    r.Score = "s";
    EXPECT_EQ(BuildResponseText(r),
        "<DoorResponse><RequestID>i</RequestID><ResultCode>c</ResultCode><ResultMessage>m</ResultMessage>"
        "<CardNo>n</CardNo><ExpireDate>e</ExpireDate><GuestName>g</GuestName><Score>s</Score>"
        "<Password>p</Password></DoorResponse>");
}

TEST(BuildResponseTextTest, GbkFieldsLeaveAsUtf8AndMarkupIsEscaped)
{
    TResponse r;
    r.GuestName = "\xD5\xC5\xC8\xFD"; // 张三 in GBK
    r.CardNo = "a<b>&c";
    const std::string text = BuildResponseText(r);
    EXPECT_NE(text.find("<GuestName>\xE5\xBC\xA0\xE4\xB8\x89</GuestName>"), std::string::npos);
    EXPECT_NE(text.find("<CardNo>a&lt;b&gt;&amp;c</CardNo>"), std::string::npos);
    EXPECT_EQ(text.find('\0'), std::string::npos);
}

} // namespace
