#include "SoakLog.h"

#include "base/TextCodec.h"

#include <fstream>
#include <iterator>
#include <string_view>
#include <vector>

namespace {

// An entry starts with "yyyy-MM-dd hh:mm:ss " at the beginning of a line;
// its further lines (the arrival entry has one) begin with a TAB.
bool StampAt(const std::string& log, size_t at)
{
    if (at + 20 > log.size()) {
        return false;
    }
    const char* p = log.data() + at;
    return p[4] == '-' && p[7] == '-' && p[10] == ' ' && p[13] == ':' && p[16] == ':' && p[19] == ' ';
}

std::vector<std::string_view> Entries(const std::string& log)
{
    std::vector<std::string_view> entries;
    size_t pos = 0;
    while (pos < log.size()) {
        size_t end = pos;
        do {
            end = log.find("\r\n", end);
            end = end == std::string::npos ? log.size() : end + 2;
        } while (end < log.size() && !StampAt(log, end));
        const size_t text = StampAt(log, pos) ? pos + 20 : pos;
        std::string_view entry(log.data() + text, end - text);
        if (entry.ends_with("\r\n")) {
            entry.remove_suffix(2);
        }
        entries.push_back(entry);
        pos = end;
    }
    return entries;
}

} // namespace

TSoakLogCounts CountLog(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    const std::string log((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());

    static const std::string received = Gbk("收到消息: \r\n\t");
    static const std::string writeOk = Gbk("写卡成功,卡号为:");
    static const std::string writeFailed = Gbk("写卡失败,卡号为:");
    static const std::string readOk = Gbk("读卡成功，卡号为：");
    static const std::string readFailed = Gbk("读卡失败");
    static const std::string printOk = Gbk("打印卡成功");
    static const std::string printFailed = Gbk("打印卡失败");

    TSoakLogCounts counts;
    for (const std::string_view entry : Entries(log)) {
        ++counts.Entries;
        if (entry.starts_with(received)) {
            ++counts.Received;
            counts.EmptyReceived += entry.size() == received.size() ? 1 : 0;
        } else if (entry.starts_with(writeOk)) {
            ++counts.WriteOk;
            ++counts.WrittenCards[std::string(entry.substr(writeOk.size()))];
        } else if (entry.starts_with(writeFailed)) {
            ++counts.WriteFailed;
        } else if (entry.starts_with(readOk)) {
            ++counts.ReadOk;
        } else if (entry == readFailed) {
            ++counts.ReadFailed;
        } else if (entry == printOk) {
            ++counts.PrintOk;
        } else if (entry == printFailed) {
            ++counts.PrintFailed;
        }
    }
    return counts;
}
