#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

// A DoorResponse as the client shows it: the elements in the order they
// came, with their values as UTF-8.
struct TClientResponse {
    std::vector<std::pair<std::string, std::string>> Fields;

    // The value of the first element of that name, or empty.
    std::string Value(const std::string& name) const;
};

// Reads a response text (without its zero byte). Nothing when the text is
// not well-formed XML or its root is not DoorResponse.
std::optional<TClientResponse> ReadResponse(const std::string& utf8);

// One "name: value" line per element, the values lined up in one column.
// A value's further lines are indented to that column.
std::string FormatResponse(const TClientResponse& response);
