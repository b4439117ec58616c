#include "base/TextCodec.h"

#include <gtest/gtest.h>

namespace {

std::u16string Units(const QString& s)
{
    return std::u16string(reinterpret_cast<const char16_t*>(s.utf16()), static_cast<size_t>(s.size()));
}

struct TDecodeCase {
    const char* name;
    std::string bytes;
    std::u16string expected;
};

class RequestUtf8DecodingTest : public ::testing::TestWithParam<TDecodeCase> { };

TEST_P(RequestUtf8DecodingTest, DecodesOrEmptiesWholeText)
{
    EXPECT_EQ(Units(TextCodec::DecodeRequestUtf8(GetParam().bytes)), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, RequestUtf8DecodingTest,
    ::testing::Values(TDecodeCase {"Ascii", "abc\r\n", u"abc\r\n"},
        TDecodeCase {"TwoAndThreeBytes", "\xC3\xA9\xE5\x86\x99", u"\u00E9\u5199"},
        TDecodeCase {"FourByteEmojiIsOneCharacter", "a\xF0\x9F\x98\x80z", u"a\U0001F600z"},
        TDecodeCase {"OverlongTwoByteAccepted", "\xC1\x81", u"A"},
        TDecodeCase {"OverlongThreeByteAccepted", "\xE0\x81\x81", u"A"},
        TDecodeCase {"LoneLeadByte", "\xC3", u""},
        TDecodeCase {"CutShortAtEnd", "abc\xE5\x86", u""},
        TDecodeCase {"FollowingByteOutOfRange", "a\xC3(b", u""},
        TDecodeCase {"FourByteCutShort", "\xF0\x9F\x98", u""},
        TDecodeCase {"BeyondUnicodeRange", "\xF7\xBF\xBF\xBF", u""},
        TDecodeCase {"Empty", "", u""}),
    [](const auto& info) { return std::string(info.param.name); });

struct TGbkCase {
    const char* name;
    std::u16string text;
    std::string gbk;
};

class ToGbkTest : public ::testing::TestWithParam<TGbkCase> { };

TEST_P(ToGbkTest, ConvertsWithOneQuestionMarkPerMissingCharacter)
{
    // Not QString::fromUtf16, which would swallow a leading byte-order mark.
    const QString text(reinterpret_cast<const QChar*>(GetParam().text.data()), static_cast<qsizetype>(GetParam().text.size()));
    EXPECT_EQ(TextCodec::ToGbk(text), GetParam().gbk);
}

INSTANTIATE_TEST_SUITE_P(Cases, ToGbkTest,
    ::testing::Values(TGbkCase {"Ascii", u"AZ09<&>", "AZ09<&>"}, TGbkCase {"Chinese", u"\u4E2D\u6587", "\xD6\xD0\xCE\xC4"},
        TGbkCase {"EuroIsByte80", u"\u20AC", "\x80"}, TGbkCase {"ZeroWidthSpace", u"a\u200Bb", "a?b"},
        TGbkCase {"ByteOrderMark", u"\uFEFFx", "?x"}, TGbkCase {"UmlautHasNoBestFit", u"\u00E4", "?"},
        TGbkCase {"EmojiIsOneQuestionMark", u"\U0001F600", "?"}, TGbkCase {"LoneSurrogate", u"a\xD800z", "a?z"},
        TGbkCase {"FullWidthExclamation", u"\uFF01", "\xA3\xA1"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(FromGbkTest, BadBytesBecomeOneQuestionMarkEach)
{
    EXPECT_EQ(Units(TextCodec::FromGbk("\xD6\xD0" "a\xFF" "b\xD6")), u"\u4E2Da?b?");
}

TEST(GbkToUtf8Test, ResultMessagesTakeThreeBytesPerCharacter)
{
    EXPECT_EQ(TextCodec::GbkToUtf8(Gbk("写卡成功")), "\xe5\x86\x99\xe5\x8d\xa1\xe6\x88\x90\xe5\x8a\x9f");
    EXPECT_EQ(TextCodec::GbkToUtf8(Gbk("打印卡成功")).size(), 15u);
}

TEST(GbkRoundTripTest, EveryTwoByteCharacterSurvives)
{
    // Walk the whole double-byte range: whatever decodes must encode back to
    // the same two bytes, so no stored option or card text is altered.
    int checked = 0;
    for (int lead = 0x81; lead <= 0xFE; ++lead) {
        for (int trail = 0x40; trail <= 0xFE; ++trail) {
            if (trail == 0x7F) {
                continue;
            }
            const std::string bytes {static_cast<char>(lead), static_cast<char>(trail)};
            const QString text = TextCodec::FromGbk(bytes);
            if (text.size() == 1 && text != QStringLiteral("?")) {
                ASSERT_EQ(TextCodec::ToGbk(text), bytes) << std::hex << lead << " " << trail;
                ++checked;
            }
        }
    }
    EXPECT_GT(checked, 20000);
}

TEST(GbkTableTest, EveryPlatformConvertsTheWholeTableToTheSameBytes)
{
    // A digest of the table both ways: every character of the Basic
    // Multilingual Plane to GBK, and every one- and two-byte sequence back.
    // The POSIX build (iconv) and the Windows build (code page 936) must
    // arrive at the same figure, or stored texts would differ between them.
    uint64_t digest = 14695981039346656037ull;
    const auto mix = [&digest](std::string_view bytes) {
        for (const char c : bytes) {
            digest = (digest ^ static_cast<unsigned char>(c)) * 1099511628211ull;
        }
        digest = (digest ^ 0x100) * 1099511628211ull;
    };
    for (char32_t u = 0x80; u <= 0xFFFF; ++u) {
        if (!QChar::isSurrogate(u)) {
            mix(TextCodec::ToGbk(QString(QChar(static_cast<char16_t>(u)))));
        }
    }
    for (int lead = 0x80; lead <= 0xFF; ++lead) {
        mix(TextCodec::GbkToUtf8(std::string(1, static_cast<char>(lead))));
        for (int trail = 0x00; trail <= 0xFF; ++trail) {
            mix(TextCodec::GbkToUtf8(std::string {static_cast<char>(lead), static_cast<char>(trail)}));
        }
    }
    EXPECT_EQ(digest, 4654658631322429833ull);
}

} // namespace
