#include "base/StrToInt.h"

namespace {

int HexDigit(char c)
{
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

} // namespace

bool TryStrToInt(std::string_view text, int32_t& value)
{
    size_t i = 0;
    while (i < text.size() && text[i] == ' ') {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    const std::string_view rest = text.substr(i);
    size_t prefix = 0;
    if (rest.starts_with('$') || rest.starts_with('x') || rest.starts_with('X')) {
        prefix = 1;
    } else if (rest.starts_with("0x") || rest.starts_with("0X")) {
        prefix = 2;
    }
    const std::string_view digits = rest.substr(prefix);
    if (digits.empty()) {
        return false;
    }

    uint64_t magnitude = 0;
    if (prefix > 0) {
        for (char c : digits) {
            const int d = HexDigit(c);
            if (d < 0) {
                return false;
            }
            magnitude = magnitude * 16 + static_cast<uint64_t>(d);
            if (magnitude > 0xFFFFFFFFull) {
                return false;
            }
        }
        auto pattern = static_cast<uint32_t>(magnitude);
        if (negative) {
            pattern = 0u - pattern;
        }
        value = static_cast<int32_t>(pattern);
        return true;
    }

    const uint64_t limit = negative ? 2147483648ull : 2147483647ull;
    for (char c : digits) {
        if (c < '0' || c > '9') {
            return false;
        }
        magnitude = magnitude * 10 + static_cast<uint64_t>(c - '0');
        if (magnitude > limit) {
            return false;
        }
    }
    value = negative ? static_cast<int32_t>(-static_cast<int64_t>(magnitude)) : static_cast<int32_t>(magnitude);
    return true;
}
