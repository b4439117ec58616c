#include "member/BaseMemberUnit.h"

#include "base/TextCodec.h"

#include <string_view>
#include <utility>
#include <vector>

TBaseMember* CurrentMemberDevice = nullptr;

bool TBaseMember::WriteCard(std::string, std::string, std::string, std::string, int32_t)
{
    return false;
}

bool TBaseMember::ReadCard(bool, std::string&, std::string&, std::string&, std::string&, std::string&, int32_t)
{
    return false;
}

bool TBaseMember::PrintCard(std::string, std::string)
{
    return false;
}

namespace {

// "&", "<", ">" and the control characters are below 0x40, so they never
// occur as the second byte of a two-byte GBK character and can be replaced
// byte by byte. XML 1.0 has no way at all to carry a control character other
// than tab, LF and CR, and a card may hold any bytes: such a character
// becomes "?", as a character GBK lacks does, so the response stays readable.
void AppendEscaped(std::string& out, const std::string& value)
{
    for (char c : value) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 && c != '\t' && c != '\n' && c != '\r') {
            out.push_back('?');
            continue;
        }
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        default:
            out.push_back(c);
        }
    }
}

bool IsAscii(std::string_view text)
{
    for (const char c : text) {
        if (static_cast<unsigned char>(c) >= 0x80) {
            return false;
        }
    }
    return true;
}

// The value goes on the wire in UTF-8. Markup and ASCII are the same bytes
// in GBK and UTF-8, and a value never shares a character with the markup
// around it ("<" and ">" are no second byte of a GBK character), so each
// value can be converted on its own, and an ASCII one not at all.
void AppendValue(std::string& out, const std::string& value)
{
    const size_t start = out.size();
    AppendEscaped(out, value);
    const std::string_view escaped = std::string_view(out).substr(start);
    if (!IsAscii(escaped)) {
        const std::string utf8 = TextCodec::GbkToUtf8(escaped);
        out.resize(start);
        out += utf8;
    }
}

void AppendElement(std::string& out, const char* name, const std::string& value)
{
    out += '<';
    out += name;
    out += '>';
    AppendValue(out, value);
    out += "</";
    out += name;
    out += '>';
}

} // namespace

std::string BuildResponseText(const TResponse& response)
{
    std::string utf8;
    // The answer with short values, as most are, in one allocation.
    utf8.reserve(256);
    utf8 += "<DoorResponse>";
    // Password is the fifth field of the record but the last element.
    AppendElement(utf8, "RequestID", response.RequestID);
    AppendElement(utf8, "ResultCode", response.ResultCode);
    AppendElement(utf8, "ResultMessage", response.ResultMessage);
    AppendElement(utf8, "CardNo", response.CardNo);
    AppendElement(utf8, "ExpireDate", response.ExpireDate);
    AppendElement(utf8, "GuestName", response.GuestName);
    AppendElement(utf8, "Score", response.Score);
    AppendElement(utf8, "Password", response.Password);
    utf8 += "</DoorResponse>";
    return utf8;
}
