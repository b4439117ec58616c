#include "dialogs/PasswordText.h"

#include "base/TextCodec.h"

std::string TrimmedPassword(const QString& entered)
{
    // Both bytes of a GBK character are at least 0x40, so trimming bytes never
    // cuts into a character.
    const std::string gbk = TextCodec::ToGbk(entered);
    const auto blank = [](char c) { return static_cast<unsigned char>(c) <= 32; };
    size_t begin = 0;
    size_t end = gbk.size();
    while (begin < end && blank(gbk[begin])) {
        ++begin;
    }
    while (end > begin && blank(gbk[end - 1])) {
        --end;
    }
    return gbk.substr(begin, end - begin);
}
