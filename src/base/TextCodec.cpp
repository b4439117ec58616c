#include "base/TextCodec.h"

#include "base/GbkCodePage.h"

namespace {

void AppendGbkOf(char16_t u, std::string& out)
{
    if (u < 0x80) {
        out.push_back(static_cast<char>(u));
    } else if (!GbkCodePage::Encode(u, out)) {
        out.push_back('?');
    }
}

bool IsContinuation(unsigned char b)
{
    return b >= 0x80 && b <= 0xBF;
}

} // namespace

namespace TextCodec {

QString DecodeRequestUtf8(std::string_view bytes)
{
    // Never more UTF-16 units than bytes: one to three bytes give one unit,
    // four give two. The units are written in place and the rest cut off.
    QString text(static_cast<qsizetype>(bytes.size()), Qt::Uninitialized);
    char16_t* const begin = reinterpret_cast<char16_t*>(text.data());
    char16_t* out = begin;
    const size_t n = bytes.size();
    size_t i = 0;
    while (i < n) {
        const auto b0 = static_cast<unsigned char>(bytes[i]);
        if (b0 < 0x80) {
            *out++ = b0;
            ++i;
            continue;
        }
        const bool fourByte = (b0 & 0xF8) == 0xF0;
        const size_t len = fourByte ? 4 : ((b0 & 0x20) ? 3 : 2);
        if (i + len > n) {
            return {};
        }
        for (size_t k = 1; k < len; ++k) {
            if (!IsContinuation(static_cast<unsigned char>(bytes[i + k]))) {
                return {};
            }
        }
        const auto b1 = static_cast<unsigned char>(bytes[i + 1]);
        if (len == 2) {
            *out++ = static_cast<char16_t>(((b0 & 0x1F) << 6) | (b1 & 0x3F));
        } else if (len == 3) {
            const auto b2 = static_cast<unsigned char>(bytes[i + 2]);
            const unsigned v = ((b0 & 0x3Fu) << 12) | ((b1 & 0x3Fu) << 6) | (b2 & 0x3Fu);
            *out++ = static_cast<char16_t>(v & 0xFFFF);
        } else {
            const auto b2 = static_cast<unsigned char>(bytes[i + 2]);
            const auto b3 = static_cast<unsigned char>(bytes[i + 3]);
            const char32_t v = ((b0 & 0x07u) << 18) | ((b1 & 0x3Fu) << 12) | ((b2 & 0x3Fu) << 6) | (b3 & 0x3Fu);
            if (v > 0x10FFFF) {
                return {};
            }
            if (v >= 0x10000) {
                const char32_t u = v - 0x10000;
                *out++ = static_cast<char16_t>(0xD800 + (u >> 10));
                *out++ = static_cast<char16_t>(0xDC00 + (u & 0x3FF));
            } else {
                *out++ = static_cast<char16_t>(v);
            }
        }
        i += len;
    }
    text.truncate(out - begin);
    return text;
}

std::string ToGbk(QStringView text)
{
    std::string out;
    out.reserve(static_cast<size_t>(text.size()));
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t u = text[i].unicode();
        if (QChar::isHighSurrogate(u) && i + 1 < n && QChar::isLowSurrogate(text[i + 1].unicode())) {
            ++i; // a character beyond U+FFFF: GBK has none of them
            out.push_back('?');
        } else if (QChar::isSurrogate(u)) {
            out.push_back('?');
        } else {
            AppendGbkOf(u, out);
        }
    }
    return out;
}

QString FromGbk(std::string_view gbk)
{
    QString text;
    text.reserve(static_cast<qsizetype>(gbk.size()));
    size_t i = 0;
    while (i < gbk.size()) {
        const auto b0 = static_cast<unsigned char>(gbk[i]);
        if (b0 < 0x80) {
            text.append(QChar(b0));
            ++i;
        } else if (GbkCodePage::Decode(gbk.substr(i, 1), text)) {
            ++i;
        } else if (i + 1 < gbk.size() && GbkCodePage::Decode(gbk.substr(i, 2), text)) {
            i += 2;
        } else {
            // A bad byte costs exactly one "?"; decoding picks up right after it.
            text.append(QChar(u'?'));
            ++i;
        }
    }
    return text;
}

std::string GbkToUtf8(std::string_view gbk)
{
    // GBK only reaches the Basic Multilingual Plane, so Qt's UTF-8 encoder
    // gives one to three bytes per UTF-16 unit, as the protocol expects.
    const QByteArray utf8 = FromGbk(gbk).toUtf8();
    return std::string(utf8.constData(), static_cast<size_t>(utf8.size()));
}

std::string Utf8ToGbk(std::string_view utf8)
{
    return ToGbk(QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size())));
}

} // namespace TextCodec
