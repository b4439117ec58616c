#include "member/BaseMemberUnit.h"

#include "base/TextCodec.h"

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

void AppendElement(std::string& out, const char* name, const std::string& value)
{
    out += '<';
    out += name;
    out += '>';
    AppendEscaped(out, value);
    out += "</";
    out += name;
    out += '>';
}

} // namespace

std::string BuildResponseText(const TResponse& response)
{
    std::string gbk = "<DoorResponse>";
    // Password is the fifth field of the record but the last element.
    AppendElement(gbk, "RequestID", response.RequestID);
    AppendElement(gbk, "ResultCode", response.ResultCode);
    AppendElement(gbk, "ResultMessage", response.ResultMessage);
    AppendElement(gbk, "CardNo", response.CardNo);
    AppendElement(gbk, "ExpireDate", response.ExpireDate);
    AppendElement(gbk, "GuestName", response.GuestName);
    AppendElement(gbk, "Score", response.Score);
    AppendElement(gbk, "Password", response.Password);
    gbk += "</DoorResponse>";
    return TextCodec::GbkToUtf8(gbk);
}
