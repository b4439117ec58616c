#include "member/CardFaceLayout.h"

namespace {

std::string_view StripControls(std::string_view s)
{
    const auto isControl = [](char c) { return static_cast<unsigned char>(c) <= 32; };
    while (!s.empty() && isControl(s.front())) {
        s.remove_prefix(1);
    }
    while (!s.empty() && isControl(s.back())) {
        s.remove_suffix(1);
    }
    return s;
}

const std::string_view kLineBreak = "\r\n";

} // namespace

namespace CardFaceLayout {

std::vector<std::string> SplitContent(std::string_view content)
{
    std::vector<std::string> lines;
    std::string_view rest = StripControls(content);
    if (rest.empty()) {
        return lines;
    }
    while (true) {
        const size_t lf = rest.find('\n');
        const std::string_view piece = rest.substr(0, lf);
        if (!piece.empty()) {
            lines.emplace_back(StripControls(piece));
        }
        if (lf == std::string_view::npos) {
            break;
        }
        rest.remove_prefix(lf + 1);
    }
    return lines;
}

std::string WrapLines(const std::vector<std::string>& lines, int32_t width)
{
    std::string text;
    for (const std::string& line : lines) {
        if (width < 1 || line.size() <= static_cast<size_t>(width)) {
            text += line;
            text += kLineBreak;
            continue;
        }
        const size_t w = static_cast<size_t>(width);
        size_t at = 0;
        for (; at + w <= line.size(); at += w) {
            text.append(line, at, w);
            text += kLineBreak;
        }
        text.append(line, at, std::string::npos);
        text += kLineBreak;
    }
    return text;
}

std::string AdvertisingText(std::string_view adtext)
{
    std::string text;
    text.reserve(adtext.size() + 8);
    for (char c : adtext) {
        if (c == '|') {
            text += kLineBreak;
        } else {
            text.push_back(c);
        }
    }
    return text;
}

} // namespace CardFaceLayout
