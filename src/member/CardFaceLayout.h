#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// How a print request's texts become the printer's text blocks. Everything
// counts bytes of GBK text, never characters: a Chinese character takes two
// bytes, and a cut may fall between them, as the printer expects.
namespace CardFaceLayout {

// The content's lines: the text is stripped of bytes 0 to 32 at both ends
// and cut at every LF. A piece that is empty as cut (LF LF) is dropped;
// every other piece is stripped the same way and kept even when that leaves
// it empty, so a blank line written as CR LF survives as an empty line.
std::vector<std::string> SplitContent(std::string_view content);

// Each line followed by CR LF; a line longer than width is cut into pieces
// of width bytes, and its remainder (empty when the length is a multiple of
// the width) ends it. A width below 1 cannot cut anything, so such lines
// are kept whole.
std::string WrapLines(const std::vector<std::string>& lines, int32_t width);

// Adtext with every byte "|" replaced by CR LF, even the second byte of a
// two-byte character: that is how the options file separates its lines.
std::string AdvertisingText(std::string_view adtext);

} // namespace CardFaceLayout
