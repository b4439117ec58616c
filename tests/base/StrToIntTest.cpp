#include "base/StrToInt.h"

#include <gtest/gtest.h>

#include <optional>

namespace {

// One text, read by both rules: the protocol's (Channel and the dialog's
// fields) and the options file's.
struct TCase {
    const char* text;
    std::optional<int32_t> protocol;
    std::optional<int32_t> profile;
};

constexpr std::nullopt_t kNone = std::nullopt;

class StrToIntTest : public ::testing::TestWithParam<TCase> { };

TEST_P(StrToIntTest, EachRuleTakesItsOwnForms)
{
    const TCase& c = GetParam();
    int32_t value = 12345;
    const bool ok = TryStrToInt(c.text, value);
    EXPECT_EQ(ok ? std::optional(value) : std::nullopt, c.protocol) << "TryStrToInt '" << c.text << "'";
    value = 12345;
    const bool profileOk = TryProfileStrToInt(c.text, value);
    EXPECT_EQ(profileOk ? std::optional(value) : std::nullopt, c.profile) << "TryProfileStrToInt '" << c.text << "'";
}

INSTANTIATE_TEST_SUITE_P(Cases, StrToIntTest,
    ::testing::Values(TCase {"11", 11, 11}, TCase {"+11", 11, 11}, TCase {"-11", -11, -11}, TCase {"007", 7, 7},
        TCase {"$B", 11, 11}, TCase {"0xb", 11, 11}, TCase {"0XB", 11, 11}, TCase {"0x10", 16, 16},
        TCase {"2147483647", INT32_MAX, INT32_MAX}, TCase {"-2147483648", INT32_MIN, INT32_MIN},
        TCase {"0x7FFFFFFF", INT32_MAX, INT32_MAX}, TCase {"0x000000010", 16, 16},
        // The protocol's extras: a bare "x" prefix, a sign before a prefix,
        // hexadecimal as a 32-bit pattern, blanks before the number.
        TCase {"x10", 16, kNone}, TCase {"xB", 11, kNone}, TCase {"XB", 11, kNone}, TCase {"-$B", -11, kNone},
        TCase {"+0x10", 16, kNone}, TCase {"0xFFFFFFFF", -1, kNone}, TCase {"$80000000", INT32_MIN, kNone},
        TCase {"   11", 11, kNone},
        // Numbers to neither.
        TCase {"", kNone, kNone}, TCase {"11 ", kNone, kNone}, TCase {"\t11", kNone, kNone},
        TCase {"abc", kNone, kNone}, TCase {"1a", kNone, kNone}, TCase {"0x", kNone, kNone}, TCase {"$", kNone, kNone},
        TCase {"+", kNone, kNone}, TCase {"2147483648", kNone, kNone}, TCase {"-2147483649", kNone, kNone},
        TCase {"0x100000000", kNone, kNone}, TCase {"- 1", kNone, kNone}, TCase {"1.0", kNone, kNone},
        TCase {"0x-1", kNone, kNone}, TCase {"--1", kNone, kNone}));

} // namespace
