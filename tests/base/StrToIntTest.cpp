#include "base/StrToInt.h"

#include <gtest/gtest.h>

#include <optional>

namespace {

struct TCase {
    const char* text;
    std::optional<int32_t> value;
};

class TryStrToIntTest : public ::testing::TestWithParam<TCase> { };

TEST_P(TryStrToIntTest, FollowsTheWholeNumberRules)
{
    int32_t value = 12345;
    const bool ok = TryStrToInt(GetParam().text, value);
    ASSERT_EQ(ok, GetParam().value.has_value()) << "'" << GetParam().text << "'";
    if (ok) {
        EXPECT_EQ(value, *GetParam().value) << "'" << GetParam().text << "'";
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, TryStrToIntTest,
    ::testing::Values(TCase {"11", 11}, TCase {"   11", 11}, TCase {"+11", 11}, TCase {"-11", -11}, TCase {"$B", 11},
        TCase {"0xb", 11}, TCase {"0XB", 11}, TCase {"xB", 11}, TCase {"XB", 11}, TCase {"-$B", -11},
        TCase {"0xFFFFFFFF", -1}, TCase {"$80000000", INT32_MIN}, TCase {"2147483647", INT32_MAX},
        TCase {"-2147483648", INT32_MIN}, TCase {"007", 7},
        // Not numbers: the request or the dialog entry is refused.
        TCase {"", std::nullopt}, TCase {"11 ", std::nullopt}, TCase {"\t11", std::nullopt}, TCase {"abc", std::nullopt},
        TCase {"1a", std::nullopt}, TCase {"0x", std::nullopt}, TCase {"$", std::nullopt}, TCase {"+", std::nullopt},
        TCase {"2147483648", std::nullopt}, TCase {"-2147483649", std::nullopt}, TCase {"0x100000000", std::nullopt},
        TCase {"- 1", std::nullopt}, TCase {"1.0", std::nullopt}));

} // namespace
