#include "support/TestEnvironment.h"

#include "base/FormatSettings.h"
#include "config/SysOptionUnit.h"
#include "member/BaseMemberUnit.h"
#include "member/OptionUnit.h"
#include "log/LogFileUnit.h"

#include <fstream>
#include <iterator>
#include <sstream>
#include <system_error>

std::string ReadFileBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFileBytes(const std::string& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

std::vector<std::string> LogEntries(const std::string& logBytes)
{
    // An entry starts with "yyyy-mm-dd hh:nn:ss " at the beginning of a line.
    auto isStamp = [&](size_t at) {
        if (at + 20 > logBytes.size()) {
            return false;
        }
        const char* p = logBytes.data() + at;
        return p[4] == '-' && p[7] == '-' && p[10] == ' ' && p[13] == ':' && p[16] == ':' && p[19] == ' ';
    };
    std::vector<std::string> entries;
    size_t pos = 0;
    while (pos < logBytes.size()) {
        size_t end = pos;
        do {
            end = logBytes.find("\r\n", end);
            end = (end == std::string::npos) ? logBytes.size() : end + 2;
        } while (end < logBytes.size() && !isStamp(end));
        const size_t textStart = isStamp(pos) ? pos + 20 : pos;
        std::string entry = logBytes.substr(textStart, end - textStart);
        if (entry.size() >= 2 && entry.compare(entry.size() - 2, 2, "\r\n") == 0) {
            entry.resize(entry.size() - 2);
        }
        entries.push_back(entry);
        pos = end;
    }
    return entries;
}

void TProcessObjectsTest::SetUp()
{
    ASSERT_TRUE(m_dir.isValid());
    FormatSettings::Fix();
    SysOption = std::make_unique<TSysOption>(OptionPath());
    SysOption->Load();
    LogFile = std::make_unique<TLogFile>(LogPath());
    MemberOption = std::make_unique<TOption>(OptionPath());
    MemberOption->Load();
    CurrentMemberDevice = nullptr;
}

void TProcessObjectsTest::TearDown()
{
    CurrentMemberDevice = nullptr;
    MemberOption.reset();
    LogFile.reset();
    SysOption.reset();
}

std::string TProcessObjectsTest::Dir() const
{
    return m_dir.path().toStdString() + "/";
}

std::string TProcessObjectsTest::OptionPath() const
{
    return Dir() + "Option.ini";
}

std::string TProcessObjectsTest::LogPath() const
{
    return Dir() + "test.LOG";
}

std::string TProcessObjectsTest::LogBytes() const
{
    return ReadFileBytes(LogPath());
}

std::vector<std::string> TProcessObjectsTest::Log() const
{
    return LogEntries(LogBytes());
}

asio::awaitable<void> TRecordingConnection::Write(std::string bytes)
{
    if (FailWrites) {
        throw std::system_error(std::make_error_code(std::errc::broken_pipe));
    }
    Written.append(bytes);
    co_return;
}
