#pragma once

#include <QString>

#include <string>
#include <string_view>

// One character's conversion between UTF-16 and GBK (Windows code page 936),
// done by the platform's own tables: iconv's CP936 on POSIX systems, the
// code page itself on Windows. TextCodec builds every text conversion on
// these two, so both platforms give the same bytes.
namespace GbkCodePage {

// Appends the GBK bytes of one character of the Basic Multilingual Plane
// (never a surrogate). False, with nothing appended, when GBK lacks it: no
// look-alike ("best fit") character ever stands in.
bool Encode(char16_t character, std::string& out);

// Decodes exactly the given one or two bytes as one GBK character and
// appends it. False, with nothing appended, when they are not one.
bool Decode(std::string_view bytes, QString& text);

} // namespace GbkCodePage
