#include "base/GbkCodePage.h"

#include <windows.h>

namespace {

constexpr UINT kGbk = 936;

// Windows maps the Private Use Area (U+E000 to U+F8FF) onto GBK's
// user-defined ranges and the single byte 0xFF; GBK as iconv knows it has
// none of them. Treating them as missing on both sides keeps the Windows
// build's bytes those of the Linux build.
bool PrivateUse(char16_t character)
{
    return character >= 0xE000 && character <= 0xF8FF;
}

} // namespace

namespace GbkCodePage {

bool Encode(char16_t character, std::string& out)
{
    if (PrivateUse(character)) {
        return false;
    }
    const wchar_t in = static_cast<wchar_t>(character);
    char buf[4];
    BOOL usedDefault = FALSE;
    // Without WC_NO_BEST_FIT_CHARS Windows writes "a" for "ä" and the like;
    // the substitute it reports is the "?" the caller writes anyway.
    const int n = WideCharToMultiByte(kGbk, WC_NO_BEST_FIT_CHARS, &in, 1, buf, sizeof buf, nullptr, &usedDefault);
    if (n <= 0 || usedDefault) {
        return false;
    }
    out.append(buf, static_cast<size_t>(n));
    return true;
}

bool Decode(std::string_view bytes, QString& text)
{
    wchar_t buf[2];
    const int n = MultiByteToWideChar(
        kGbk, MB_ERR_INVALID_CHARS, bytes.data(), static_cast<int>(bytes.size()), buf, static_cast<int>(std::size(buf)));
    // Code page 936 gives every GBK character exactly one UTF-16 unit.
    if (n != 1 || PrivateUse(static_cast<char16_t>(buf[0]))) {
        return false;
    }
    text.append(QChar(static_cast<char16_t>(buf[0])));
    return true;
}

} // namespace GbkCodePage
