#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

using THttpHeaders = std::vector<std::pair<std::string, std::string>>;

// The first value of the header of that name, in any letter case.
std::optional<std::string_view> FindHeader(const THttpHeaders& headers, std::string_view name);

// One request as the API sees it, whatever server carried it.
struct THttpRequest {
    std::string Method;
    // Without the query string.
    std::string Path;
    THttpHeaders Headers;
    std::string Body;
    // The peer's IP address as text ("127.0.0.1", "::1"); empty when the
    // server does not know it.
    std::string RemoteAddress;

    std::optional<std::string_view> Header(std::string_view name) const { return FindHeader(Headers, name); }
};

// The API's answer; a body is JSON unless a Content-Type header says
// otherwise.
struct THttpAnswer {
    int Status = 200;
    THttpHeaders Headers;
    std::string Body;

    std::optional<std::string_view> Header(std::string_view name) const { return FindHeader(Headers, name); }
};
