#include "member/CardFaceLayout.h"

#include "base/TextCodec.h"

#include <gtest/gtest.h>

namespace {

using Lines = std::vector<std::string>;

TEST(CardFaceLayoutTest, SplitContentKeepsCrLfBlankLinesAndDropsBareLfOnes)
{
    struct TCase {
        std::string content;
        Lines lines;
    };
    const TCase cases[] = {
        {Gbk("\r\n当前消费:100\r\n卡内余额:300"), {Gbk("当前消费:100"), Gbk("卡内余额:300")}},
        {"one\n\ntwo", {"one", "two"}},
        {"one\r\n\r\ntwo", {"one", "", "two"}},
        {"  a b  \r\n\tc\t", {"a b", "c"}},
        {"", {}},
        {" \r\n\t\x01 ", {}},
        {"single", {"single"}},
        {"a\n \nb", {"a", "", "b"}},
        {"a\n\n\n\nb", {"a", "b"}},
    };
    for (const TCase& c : cases) {
        EXPECT_EQ(CardFaceLayout::SplitContent(c.content), c.lines) << c.content;
    }
}

TEST(CardFaceLayoutTest, WrapLinesCutsBytesAtTheWidth)
{
    const std::string b48(48, '8');
    const std::string b50(50, '5');
    struct TCase {
        Lines lines;
        int32_t width;
        std::string text;
    };
    const TCase cases[] = {
        {{}, 24, ""},
        {{""}, 24, "\r\n"},
        {{std::string(24, 'x')}, 24, std::string(24, 'x') + "\r\n"},
        // A multiple of the width ends in an empty line.
        {{b48}, 24, b48.substr(0, 24) + "\r\n" + b48.substr(24) + "\r\n\r\n"},
        {{b50}, 24, b50.substr(0, 24) + "\r\n" + b50.substr(24, 24) + "\r\n55\r\n"},
        {{"abc", "defgh"}, 2, "ab\r\nc\r\nde\r\nfg\r\nh\r\n"},
        {{"abc"}, 1, "a\r\nb\r\nc\r\n\r\n"},
        {{"abc", ""}, 0, "abc\r\n\r\n"},
        {{"abc"}, -1, "abc\r\n"},
    };
    for (const TCase& c : cases) {
        EXPECT_EQ(CardFaceLayout::WrapLines(c.lines, c.width), c.text) << c.width;
    }
}

TEST(CardFaceLayoutTest, WrapLinesMayCutATwoByteCharacterInHalf)
{
    // 23 ASCII bytes, then a character of two bytes: the 24th byte is its first.
    const std::string line = std::string(23, '1') + Gbk("中");
    ASSERT_EQ(line.size(), 25u);
    const std::string text = CardFaceLayout::WrapLines({line}, 24);
    EXPECT_EQ(text, line.substr(0, 24) + "\r\n" + line.substr(24) + "\r\n");
}

TEST(CardFaceLayoutTest, AdvertisingTextBreaksAtEveryBar)
{
    struct TCase {
        std::string adtext;
        std::string text;
    };
    const TCase cases[] = {
        {Gbk("欢迎光临|Velmora"), Gbk("欢迎光临\r\nVelmora")},
        {"a|", "a\r\n"},
        {"|", "\r\n"},
        {" a | b ", " a \r\n b "},
        // The second byte of this two-byte character is the bar byte.
        {"\x81|x", "\x81\r\nx"},
    };
    for (const TCase& c : cases) {
        EXPECT_EQ(CardFaceLayout::AdvertisingText(c.adtext), c.text) << c.adtext;
    }
}

} // namespace
