#include "base/StrToInt.h"

#include <initializer_list>
#include <optional>

namespace {

constexpr uint64_t kMaxPositive = 2147483647ull;
constexpr uint64_t kMaxNegative = 2147483648ull;
constexpr uint64_t kMaxPattern = 0xFFFFFFFFull;

int DigitValue(char c, int base)
{
    int d = -1;
    if (c >= '0' && c <= '9') {
        d = c - '0';
    } else if (c >= 'a' && c <= 'f') {
        d = c - 'a' + 10;
    } else if (c >= 'A' && c <= 'F') {
        d = c - 'A' + 10;
    }
    return d < base ? d : -1;
}

// The digits' value when every one is a digit of the base and the value does
// not exceed limit; leading zeros never count against the limit.
std::optional<uint64_t> Magnitude(std::string_view digits, int base, uint64_t limit)
{
    if (digits.empty()) {
        return std::nullopt;
    }
    uint64_t magnitude = 0;
    for (char c : digits) {
        const int d = DigitValue(c, base);
        if (d < 0) {
            return std::nullopt;
        }
        magnitude = magnitude * static_cast<uint64_t>(base) + static_cast<uint64_t>(d);
        if (magnitude > limit) {
            return std::nullopt;
        }
    }
    return magnitude;
}

int32_t Signed(uint64_t magnitude, bool negative)
{
    return negative ? static_cast<int32_t>(-static_cast<int64_t>(magnitude)) : static_cast<int32_t>(magnitude);
}

// Takes an optional "+" or "-" off the front; true for "-".
bool TakeSign(std::string_view& text)
{
    const bool negative = text.starts_with('-');
    if (negative || text.starts_with('+')) {
        text.remove_prefix(1);
    }
    return negative;
}

// Takes the first of prefixes that text starts with off its front.
bool TakePrefix(std::string_view& text, std::initializer_list<std::string_view> prefixes)
{
    for (const std::string_view prefix : prefixes) {
        if (text.starts_with(prefix)) {
            text.remove_prefix(prefix.size());
            return true;
        }
    }
    return false;
}

} // namespace

bool TryStrToInt(std::string_view text, int32_t& value)
{
    while (text.starts_with(' ')) {
        text.remove_prefix(1);
    }
    const bool negative = TakeSign(text);
    if (TakePrefix(text, {"0x", "0X", "$", "x", "X"})) {
        const std::optional<uint64_t> pattern = Magnitude(text, 16, kMaxPattern);
        if (!pattern) {
            return false;
        }
        const auto bits = static_cast<uint32_t>(*pattern);
        value = static_cast<int32_t>(negative ? 0u - bits : bits);
        return true;
    }
    const std::optional<uint64_t> magnitude = Magnitude(text, 10, negative ? kMaxNegative : kMaxPositive);
    if (!magnitude) {
        return false;
    }
    value = Signed(*magnitude, negative);
    return true;
}

bool TryProfileStrToInt(std::string_view text, int32_t& value)
{
    std::optional<uint64_t> magnitude;
    bool negative = false;
    if (TakePrefix(text, {"0x", "0X", "$"})) {
        magnitude = Magnitude(text, 16, kMaxPositive);
    } else {
        negative = TakeSign(text);
        magnitude = Magnitude(text, 10, negative ? kMaxNegative : kMaxPositive);
    }
    if (!magnitude) {
        return false;
    }
    value = Signed(*magnitude, negative);
    return true;
}
