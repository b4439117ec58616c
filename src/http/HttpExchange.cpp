#include "http/HttpExchange.h"

#include "base/AsciiCase.h"

std::optional<std::string_view> FindHeader(const THttpHeaders& headers, std::string_view name)
{
    for (const auto& [key, value] : headers) {
        if (EqualsNoCase(key, name)) {
            return value;
        }
    }
    return std::nullopt;
}
