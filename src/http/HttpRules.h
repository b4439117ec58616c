#pragma once

#include <string>
#include <string_view>
#include <vector>

// The rules that keep the HTTP API safe from the browser it serves, each a
// plain function of header values and settings.
namespace HttpRules {

// 127.0.0.0/8, ::1 (bracketed or not) and the name "localhost" in any case.
bool IsLoopback(std::string_view address);

// 0.0.0.0 or ::, bracketed or not: every address of this computer.
bool IsWildcard(std::string_view address);

// The Host header names this server: "localhost", "127.0.0.1", "[::1]" or
// bindAddress, each with or without a port. Without this a page on a DNS
// name that its owner points at 127.0.0.1 (DNS rebinding) would be
// same-origin with the API. A wildcard bindAddress also admits any IP
// address literal, since clients on the network name the computer by its
// address, and rebinding needs a name.
bool HostAllowed(std::string_view host, std::string_view bindAddress);

// AllowedOrigins split at commas, blanks around each entry dropped, empty
// entries skipped. "null" is never kept: every sandboxed frame and local
// file sends that origin, so listing it would admit any page at all.
std::vector<std::string> OriginList(std::string_view allowedOrigins);

// authorization is "Bearer <token>" (the scheme in any letter case) with
// exactly the expected token. Both tokens are hashed before the comparison,
// so how long it takes says nothing about the token, not even its length.
bool BearerTokenMatches(std::string_view authorization, std::string_view expected);

// A token travels in a header: letters, digits and - . _ ~ + / = only.
bool IsValidToken(std::string_view token);

// application/json in any letter case, with no charset or charset=utf-8.
// Forms and text/plain are what a page may send to another origin without
// asking first; refusing them leaves every cross-site write to the CORS
// preflight.
bool IsJsonContentType(std::string_view contentType);

} // namespace HttpRules
