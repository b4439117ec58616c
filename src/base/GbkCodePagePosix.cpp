#include "base/GbkCodePage.h"

#include <iconv.h>

#include <stdexcept>

namespace {

// iconv descriptors carry conversion state and are not thread-safe, so each
// thread keeps its own pair.
class TIconv {
public:
    TIconv(const char* to, const char* from)
        : m_cd(iconv_open(to, from))
    {
        if (m_cd == reinterpret_cast<iconv_t>(-1)) {
            throw std::runtime_error(std::string("iconv cannot convert from ") + from + " to " + to);
        }
    }
    ~TIconv() { iconv_close(m_cd); }
    TIconv(const TIconv&) = delete;
    TIconv& operator=(const TIconv&) = delete;

    iconv_t get() const
    {
        iconv(m_cd, nullptr, nullptr, nullptr, nullptr);
        return m_cd;
    }

private:
    iconv_t m_cd;
};

iconv_t ToGbkConverter()
{
    // UTF-32LE with an explicit byte order: a U+FEFF in the text is a
    // character to convert, never a byte-order mark to swallow.
    thread_local TIconv cd("CP936", "UTF-32LE");
    return cd.get();
}

iconv_t FromGbkConverter()
{
    thread_local TIconv cd("UTF-16LE", "CP936");
    return cd.get();
}

} // namespace

namespace GbkCodePage {

bool Encode(char16_t character, std::string& out)
{
    char in[4];
    for (int i = 0; i < 4; ++i) {
        in[i] = static_cast<char>((static_cast<char32_t>(character) >> (8 * i)) & 0xFF);
    }
    char buf[8];
    char* inPtr = in;
    char* outPtr = buf;
    size_t inLeft = sizeof in;
    size_t outLeft = sizeof buf;
    const size_t rc = iconv(ToGbkConverter(), &inPtr, &inLeft, &outPtr, &outLeft);
    if (rc == static_cast<size_t>(-1) || outPtr == buf) {
        return false;
    }
    out.append(buf, outPtr);
    return true;
}

bool Decode(std::string_view bytes, QString& text)
{
    char16_t buf[2];
    char* inPtr = const_cast<char*>(bytes.data());
    size_t inLeft = bytes.size();
    char* outPtr = reinterpret_cast<char*>(buf);
    size_t outLeft = sizeof buf;
    const size_t rc = iconv(FromGbkConverter(), &inPtr, &inLeft, &outPtr, &outLeft);
    const auto produced = static_cast<qsizetype>((sizeof buf - outLeft) / 2);
    if (rc == static_cast<size_t>(-1) || inLeft != 0 || produced == 0) {
        return false;
    }
    text.append(QStringView(buf, produced));
    return true;
}

} // namespace GbkCodePage
