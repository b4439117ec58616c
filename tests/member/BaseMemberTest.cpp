#include "member/BaseMemberUnit.h"

#include <gtest/gtest.h>

namespace {

TEST(BaseMemberTest, DefaultBodiesFailAndLeaveOutputsEmpty)
{
    TBaseMember device;
    EXPECT_FALSE(device.OpenPort());
    EXPECT_FALSE(device.ClosePort());
    EXPECT_FALSE(device.ResetDevice());
    EXPECT_FALSE(device.WriteCard("1", "", "", "", -1));
    EXPECT_FALSE(device.PrintCard("1", "x"));
    std::string no, pw, exp, name, score;
    EXPECT_FALSE(device.ReadCard(false, no, pw, exp, name, score, -1));
    EXPECT_TRUE(no.empty() && pw.empty() && exp.empty() && name.empty() && score.empty());
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
