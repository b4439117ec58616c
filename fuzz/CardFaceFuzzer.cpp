// The print path's text layout: a content text of any bytes is split into
// lines and wrapped at any width. Properties: nothing is read beyond the
// content (the address sanitizer watches the fuzzer's exactly-sized buffer);
// every line is a stripped piece of the content without LF; every wrapped
// line ends in CR LF, is at most the width long, and the pieces of a line
// joined give the line back. The input's first byte gives the width.

#include "FuzzSupport.h"

#include "member/CardFaceLayout.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace {

bool IsControl(char c)
{
    return static_cast<unsigned char>(c) <= 32;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1) {
        return 0;
    }
    // -8 to 247: widths below 1 included, as the options dialog allows them.
    const int32_t width = static_cast<int32_t>(data[0]) - 8;
    const std::string_view content(reinterpret_cast<const char*>(data + 1), size - 1);

    const std::vector<std::string> lines = CardFaceLayout::SplitContent(content);
    size_t lfCount = 0;
    for (const char c : content) {
        lfCount += c == '\n' ? 1 : 0;
    }
    FUZZ_CHECK(lines.size() <= lfCount + 1, "no more lines than LF-separated pieces");
    for (const std::string& line : lines) {
        FUZZ_CHECK(line.find('\n') == std::string::npos, "a line holds no LF");
        FUZZ_CHECK(line.empty() || (!IsControl(line.front()) && !IsControl(line.back())), "lines are stripped");
        FUZZ_CHECK(content.find(line) != std::string_view::npos, "a line is a piece of the content");
    }

    const std::string text = CardFaceLayout::WrapLines(lines, width);
    size_t at = 0;
    for (const std::string& line : lines) {
        // Lines hold no LF, so each wrapped piece ends at the first CR LF
        // after the cut; a CR inside a line stays part of its piece.
        const size_t pieceWidth = width < 1 ? line.size() : static_cast<size_t>(width);
        const size_t pieces = line.size() <= pieceWidth ? 1 : line.size() / pieceWidth + 1;
        std::string joined;
        for (size_t p = 0; p < pieces; ++p) {
            const size_t expected = p + 1 < pieces ? pieceWidth : line.size() - joined.size();
            FUZZ_CHECK(at + expected + 2 <= text.size(), "the wrapped text holds every piece");
            FUZZ_CHECK(text.compare(at + expected, 2, "\r\n") == 0, "every wrapped line ends in CR LF");
            FUZZ_CHECK(width < 1 || expected <= static_cast<size_t>(width), "no wrapped line is wider than the width");
            joined.append(text, at, expected);
            at += expected + 2;
        }
        FUZZ_CHECK(joined == line, "the pieces of a line give the line back");
    }
    FUZZ_CHECK(at == text.size(), "nothing follows the last line");

    const std::string ad = CardFaceLayout::AdvertisingText(content);
    size_t bars = 0;
    for (const char c : content) {
        bars += c == '|' ? 1 : 0;
    }
    FUZZ_CHECK(ad.size() == content.size() + bars, "each | becomes CR LF and nothing else changes");
    return 0;
}
