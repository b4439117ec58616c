#include "ResponseReader.h"

#include "base/TextCodec.h"
#include "member/BaseMemberUnit.h"

#include <gtest/gtest.h>

namespace {

TEST(ResponseReaderTest, ReadsEveryFieldTheServerBuilds)
{
    TResponse sent;
    sent.ResultCode = "200";
    sent.ResultMessage = Gbk("读卡成功");
    sent.CardNo = "A&B<1>";
    sent.Password = "pw";
    sent.ExpireDate = "2030-01-01";
    sent.GuestName = Gbk("王五");
    sent.Score = "10";
    const std::optional<TClientResponse> read = ReadResponse(BuildResponseText(sent));
    ASSERT_TRUE(read);

    const std::vector<std::pair<std::string, std::string>> expected {
        {"RequestID", ""},
        {"ResultCode", "200"},
        {"ResultMessage", "读卡成功"},
        {"CardNo", "A&B<1>"},
        {"ExpireDate", "2030-01-01"},
        {"GuestName", "王五"},
        {"Score", "10"},
        {"Password", "pw"},
    };
    EXPECT_EQ(read->Fields, expected);
    EXPECT_EQ(read->Value("CardNo"), "A&B<1>");
    EXPECT_EQ(read->Value("Missing"), "");
}

TEST(ResponseReaderTest, ACardHoldingControlBytesStillGivesAReadableResponse)
{
    TResponse sent;
    sent.ResultCode = "200";
    sent.CardNo = std::string("\x1b" "12\x01" "3\t4", 7);
    sent.GuestName = "a\r\nb";
    const std::optional<TClientResponse> read = ReadResponse(BuildResponseText(sent));
    ASSERT_TRUE(read);
    EXPECT_EQ(read->Value("CardNo"), "?12?3\t4");
    // XML reads a line break as LF, whichever way it was written.
    EXPECT_EQ(read->Value("GuestName"), "a\nb");
}

TEST(ResponseReaderTest, AnythingButADoorResponseIsRefused)
{
    for (const std::string& text : {std::string(""), std::string("<DoorResponse>"), std::string("<Other/>"),
             std::string("garbage"), std::string("<DoorResponse><CardNo>\xC3</CardNo></DoorResponse>")}) {
        EXPECT_FALSE(ReadResponse(text)) << text;
    }
}

TEST(ResponseReaderTest, FormatLinesUpTheValues)
{
    TClientResponse response;
    response.Fields = {{"ResultCode", "500"}, {"CardNo", ""}, {"ResultMessage", "写卡失败"}, {"GuestName", "a\nb"}};
    EXPECT_EQ(FormatResponse(response),
        "ResultCode:    500\n"
        "CardNo:\n"
        "ResultMessage: 写卡失败\n"
        "GuestName:     a\n"
        "               b\n");
}

} // namespace
