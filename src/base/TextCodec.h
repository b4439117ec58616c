#pragma once

#include <QString>

#include <string>
#include <string_view>

// Every conversion between the wire (UTF-8), Qt (UTF-16) and the 8-bit GBK
// text the rest of the system works in (Windows code page 936) goes through
// here, so there is exactly one notion of "a character GBK lacks".
namespace TextCodec {

// Decodes a request line. A sequence that is cut short or has a following
// byte outside 0x80..0xBF makes the whole text empty: the handler then sees
// an empty request rather than a half-decoded one. Overlong forms are
// accepted; four-byte sequences decode to the character they encode.
QString DecodeRequestUtf8(std::string_view bytes);

// Each character GBK cannot represent (including invisible format characters
// such as U+200B and U+FEFF, and everything beyond U+FFFF) becomes one "?".
std::string ToGbk(QStringView text);

// A byte sequence that is not valid GBK contributes one "?" per bad byte.
QString FromGbk(std::string_view gbk);

// GBK text to UTF-8 bytes, as the response goes on the wire.
std::string GbkToUtf8(std::string_view gbk);

// UTF-8 to GBK for text typed by people (command-line client, simulator files).
std::string Utf8ToGbk(std::string_view utf8);

} // namespace TextCodec

// The system's fixed texts are written as UTF-8 literals in the source and
// used as GBK; keep the result in a static where it is used often.
inline std::string Gbk(std::string_view utf8Literal)
{
    return TextCodec::Utf8ToGbk(utf8Literal);
}
