#include "http/HttpRules.h"

#include "base/AsciiCase.h"

#include "base/Asio.h"

#include <QCryptographicHash>

#include <algorithm>

namespace HttpRules {

namespace {

std::string_view Trimmed(std::string_view text)
{
    const auto blank = [](char c) { return c == ' ' || c == '\t'; };
    while (!text.empty() && blank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && blank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

std::string_view WithoutBrackets(std::string_view address)
{
    if (address.size() >= 2 && address.front() == '[' && address.back() == ']') {
        return address.substr(1, address.size() - 2);
    }
    return address;
}

bool ParseAddress(std::string_view text, asio::ip::address& address)
{
    boost::system::error_code error;
    address = asio::ip::make_address(std::string(WithoutBrackets(text)), error);
    return !error;
}

bool AllDigits(std::string_view text)
{
    return !text.empty() && text.size() <= 5
        && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// The host part of a Host header value, an IPv6 address with its brackets
// as browsers send it; empty when the value is malformed (a bare IPv6
// address among them).
std::string_view HostName(std::string_view host)
{
    size_t nameEnd = 0;
    if (host.starts_with('[')) {
        nameEnd = host.find(']');
        if (nameEnd == std::string_view::npos) {
            return {};
        }
        ++nameEnd;
    } else {
        nameEnd = std::min(host.find(':'), host.size());
    }
    const std::string_view rest = host.substr(nameEnd);
    if (!rest.empty() && (rest.front() != ':' || !AllDigits(rest.substr(1)))) {
        return {};
    }
    return host.substr(0, nameEnd);
}

// An address as a Host header carries it: IPv6 in brackets.
std::string HostForm(std::string_view address)
{
    if (address.find(':') != std::string_view::npos && !address.starts_with('[')) {
        return "[" + std::string(address) + "]";
    }
    return std::string(address);
}

// A dotted IPv4 address, or an IPv6 address in brackets.
bool IsAddressLiteral(std::string_view name)
{
    boost::system::error_code error;
    if (name.starts_with('[')) {
        asio::ip::make_address_v6(std::string(WithoutBrackets(name)), error);
    } else {
        asio::ip::make_address_v4(std::string(name), error);
    }
    return !error;
}

} // namespace

bool IsLoopback(std::string_view address)
{
    if (EqualsNoCase(address, "localhost")) {
        return true;
    }
    asio::ip::address parsed;
    return ParseAddress(address, parsed) && parsed.is_loopback();
}

bool IsWildcard(std::string_view address)
{
    asio::ip::address parsed;
    return ParseAddress(address, parsed) && parsed.is_unspecified();
}

bool HostAllowed(std::string_view host, std::string_view bindAddress)
{
    const std::string_view name = HostName(host);
    if (name.empty()) {
        return false;
    }
    if (EqualsNoCase(name, "localhost") || name == "127.0.0.1" || name == "[::1]") {
        return true;
    }
    if (EqualsNoCase(name, HostForm(bindAddress))) {
        return true;
    }
    return IsWildcard(bindAddress) && IsAddressLiteral(name);
}

std::vector<std::string> OriginList(std::string_view allowedOrigins)
{
    std::vector<std::string> origins;
    while (!allowedOrigins.empty()) {
        const size_t comma = allowedOrigins.find(',');
        const std::string_view entry = Trimmed(allowedOrigins.substr(0, comma));
        if (!entry.empty() && entry != "null") {
            origins.emplace_back(entry);
        }
        if (comma == std::string_view::npos) {
            break;
        }
        allowedOrigins.remove_prefix(comma + 1);
    }
    return origins;
}

bool BearerTokenMatches(std::string_view authorization, std::string_view expected)
{
    authorization = Trimmed(authorization);
    constexpr std::string_view kScheme = "Bearer ";
    if (!StartsWithNoCase(authorization, kScheme)) {
        return false;
    }
    const std::string_view presented = Trimmed(authorization.substr(kScheme.size()));
    const auto digest = [](std::string_view text) {
        return QCryptographicHash::hash(
            QByteArrayView(text.data(), static_cast<qsizetype>(text.size())), QCryptographicHash::Sha256);
    };
    const QByteArray a = digest(presented);
    const QByteArray b = digest(expected);
    unsigned char difference = 0;
    for (qsizetype i = 0; i < a.size(); ++i) {
        difference |= static_cast<unsigned char>(a[i] ^ b[i]);
    }
    return difference == 0;
}

bool IsValidToken(std::string_view token)
{
    const auto allowed = [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '.'
            || c == '_' || c == '~' || c == '+' || c == '/' || c == '=';
    };
    return !token.empty() && std::all_of(token.begin(), token.end(), allowed);
}

bool IsJsonContentType(std::string_view contentType)
{
    size_t semicolon = contentType.find(';');
    if (!EqualsNoCase(Trimmed(contentType.substr(0, semicolon)), "application/json")) {
        return false;
    }
    while (semicolon != std::string_view::npos) {
        contentType.remove_prefix(semicolon + 1);
        semicolon = contentType.find(';');
        const std::string_view parameter = Trimmed(contentType.substr(0, semicolon));
        const size_t equals = parameter.find('=');
        if (equals == std::string_view::npos || !EqualsNoCase(Trimmed(parameter.substr(0, equals)), "charset")) {
            continue;
        }
        std::string_view value = Trimmed(parameter.substr(equals + 1));
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"') {
            value = value.substr(1, value.size() - 2);
        }
        if (!EqualsNoCase(value, "utf-8")) {
            return false;
        }
    }
    return true;
}

} // namespace HttpRules
