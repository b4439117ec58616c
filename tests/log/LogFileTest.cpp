#include "base/TextCodec.h"
#include "config/SysOptionUnit.h"
#include "log/LogFileUnit.h"
#include "status/DayCountsFile.h"
#include "log/LogRetention.h"

#include "support/FileCreationMask.h"
#include "support/FileSizeLimit.h"
#include "support/TestEnvironment.h"

#include <QFile>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <algorithm>
#include <ctime>
#include <thread>
#include <vector>

namespace {

using LogFileTest = TProcessObjectsTest;

TEST_F(LogFileTest, EntryIsStampTextAndCrLf)
{
    LogFile->WriteLine("abc");
    LogFile->WriteLine("");
    const QString bytes = QString::fromLatin1(QByteArray::fromStdString(LogBytes()));
    const QRegularExpression layout(
        QStringLiteral("^\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d abc\r\n\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d \r\n$"));
    EXPECT_TRUE(layout.match(bytes).hasMatch()) << bytes.toStdString();
}

TEST_F(LogFileTest, BytesAreWrittenUnchangedAndCrLfInTextContinuesTheEntry)
{
    const std::string gbk = Gbk("收到消息: \r\n") + "<a/>";
    LogFile->WriteLine(gbk);
    EXPECT_EQ(LogBytes().substr(20), gbk + "\r\n");
    EXPECT_EQ(Log(), std::vector<std::string> {gbk});
}

TEST_F(LogFileTest, AppendsToAnExistingFileAndRecreatesADeletedOne)
{
    WriteFileBytes(LogPath(), "earlier run\r\n");
    LogFile->WriteLine("one");
    EXPECT_EQ(LogBytes().substr(0, 13), "earlier run\r\n");
    QFile::remove(QString::fromStdString(LogPath()));
    LogFile->WriteLine("two");
    EXPECT_EQ(Log(), std::vector<std::string> {"two"});
}

TEST_F(LogFileTest, WriteLogOffCreatesNoFile)
{
    SysOption->WriteLog = false;
    LogFile->WriteLine("quiet");
    EXPECT_FALSE(QFile::exists(QString::fromStdString(LogPath())));
}

TEST_F(LogFileTest, UnwritableLocationDropsEntriesSilently)
{
    TLogFile nowhere(Dir() + "no-such-folder/x.LOG");
    EXPECT_NO_THROW(nowhere.WriteLine("dropped"));
}

TEST_F(LogFileTest, ConcurrentWritersLoseNoEntry)
{
    constexpr int kThreads = 8;
    constexpr int kEach = 200;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([t] {
            for (int i = 0; i < kEach; ++i) {
                LogFile->WriteLine("thread " + std::to_string(t) + " entry " + std::to_string(i));
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    const std::vector<std::string> entries = Log();
    ASSERT_EQ(entries.size(), static_cast<size_t>(kThreads * kEach));
    for (const std::string& entry : entries) {
        EXPECT_EQ(entry.rfind("thread ", 0), 0u) << entry;
    }
}

TEST_F(LogFileTest, AnEntryCutShortByAFullDiskIsFollowedByAWholeLine)
{
    if (!TFileSizeLimit::Supported()) {
        GTEST_SKIP() << kNoFileSizeLimit;
    }
    // A file size limit stands in for a full disk: the write stops part way.
    LogFile->WriteLine("first");
    const size_t size = LogBytes().size();
    {
        const TFileSizeLimit limit(size + 25);
        LogFile->WriteLine("cut short by the size limit");
        LogFile->WriteLine("dropped: the file is full");
    }
    LogFile->WriteLine("whole");

    const std::string bytes = LogBytes();
    EXPECT_EQ(bytes.size(), size + 25 + 2 + 20 + 5 + 2) << bytes;
    EXPECT_EQ(bytes.substr(size + 20, 5), "cut s");
    EXPECT_EQ(bytes.substr(size + 25, 2), "\r\n");
    EXPECT_EQ(bytes.substr(bytes.size() - 7), "whole\r\n");
    EXPECT_EQ(Log().back(), "whole");
}

// The local time of that day, hour, minute and second as the clock gives it.
std::time_t LocalTime(int year, int month, int day, int hour, int minute, int second)
{
    std::tm t {};
    t.tm_year = year - 1900;
    t.tm_mon = month - 1;
    t.tm_mday = day;
    t.tm_hour = hour;
    t.tm_min = minute;
    t.tm_sec = second;
    t.tm_isdst = -1;
    return std::mktime(&t);
}

TEST_F(LogFileTest, DailyWriterMovesToTheNewDaysFileAtMidnightAndThenRemovesExpiredDays)
{
    SysOption->LogKeepDays = 3;
    // Three days old on the 6th, four on the 7th.
    WriteFileBytes(Dir() + "20261203.LOG", "old\r\n");
    std::time_t now = LocalTime(2026, 12, 6, 23, 59, 59);
    const std::unique_ptr<TLogFile> daily = TLogFile::Daily(Dir(), [&now] { return now; });
    daily->RemoveExpiredLogs();
    EXPECT_EQ(daily->FileName(), Dir() + "20261206.LOG");

    daily->WriteLine("before midnight");
    EXPECT_TRUE(QFile::exists(QString::fromStdString(Dir() + "20261203.LOG")));
    now = LocalTime(2026, 12, 7, 0, 0, 0);
    EXPECT_EQ(daily->FileName(), Dir() + "20261207.LOG");
    daily->WriteLine("after midnight");

    EXPECT_EQ(LogEntries(ReadFileBytes(Dir() + "20261206.LOG")), std::vector<std::string> {"before midnight"});
    EXPECT_EQ(ReadFileBytes(Dir() + "20261207.LOG"), "2026-12-07 00:00:00 after midnight\r\n");
    EXPECT_FALSE(QFile::exists(QString::fromStdString(Dir() + "20261203.LOG")));
}

TEST_F(LogFileTest, ExpiredDayFilesAreRemovedAndNothingElse)
{
    std::vector<std::string> files { "20261207.LOG", "20261204.LOG", "20261203.LOG", "20200101.LOG",
        "20200101.LOG.bak", "notes.txt", "2020010.LOG", "202001011.LOG", "20201301.LOG", "x20200101.LOG",
        "20270101.LOG" };
    // Where case tells names apart, a lower-case .log is no log of ours; on
    // Windows it is the same file as the .LOG.
    WriteFileBytes(Dir() + "probe", "x");
    if (!QFile::exists(QString::fromStdString(Dir() + "PROBE"))) {
        files.push_back("20200101.log");
    }
    const struct {
        int keepDays;
        std::vector<std::string> removed;
    } cases[] = {
        { 0, {} },
        { -1, {} },
        { 3, { "20261203.LOG", "20200101.LOG" } },
        { 1, { "20261204.LOG", "20261203.LOG", "20200101.LOG" } },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.keepDays);
        for (const std::string& name : files) {
            WriteFileBytes(Dir() + name, "x");
        }
        EXPECT_EQ(RemoveExpiredDayLogs(Dir(), QDate(2026, 12, 7), c.keepDays), static_cast<int>(c.removed.size()));
        for (const std::string& name : files) {
            const bool removed = std::find(c.removed.begin(), c.removed.end(), name) != c.removed.end();
            EXPECT_EQ(QFile::exists(QString::fromStdString(Dir() + name)), !removed) << name;
        }
    }
}

} // namespace

namespace {

// A value can never begin a line of its own: control characters and bytes
// that are no GBK character appear escaped, while GBK text (whose second
// bytes may be a backslash) stays. A cut never splits a character or an
// escape, and says how long the value was.
TEST(LogValueTest, ControlCharactersAreEscapedAndTextStays)
{
    constexpr size_t kWhole = std::string::npos;
    const std::string table = Gbk("表");
    const struct {
        std::string In;
        size_t Max;
        std::string Out;
    } cases[] = {
        {"00012345", kWhole, "00012345"},
        {"1\r\n2026-12-07 10:00:00 " + Gbk("写卡成功,卡号为:9"), kWhole,
            "1\\r\\n2026-12-07 10:00:00 " + Gbk("写卡成功,卡号为:9")},
        {std::string("a\tb\x01\x1F\x7F", 6), kWhole, "a\\tb\\x01\\x1F\\x7F"},
        {table + "\\", kWhole, table + "\\"},
        // A lead byte without its second byte would swallow the backslash.
        {"\x81\r\x80\xFF", kWhole, "\\x81\\r\\x80\\xFF"},
        {std::string(300, '7'), 256, std::string(256, '7') + Gbk("…(300 bytes)")},
        {std::string(3, '7') + table + table, 6, std::string(3, '7') + table + Gbk("…(7 bytes)")},
        {std::string(10, '\x1B'), 10, "\\x1B\\x1B" + Gbk("…(10 bytes)")},
        {std::string(256, '7'), 256, std::string(256, '7')},
        {"12345", 0, Gbk("…(5 bytes)")},
        {"", 0, ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.Max == kWhole ? LogValue(c.In) : LogValue(c.In, c.Max), c.Out) << c.In;
    }
}

} // namespace

// What clients sent stops at the day's bound with one line saying so: an
// arrival is left out, a value stands as its length; fixed texts go on.
TEST_F(LogFileTest, ArrivalsStopAtTheDaysBoundAndOtherEntriesGoOn)
{
    SysOption->LogMaxMB = 1;
    const std::string arrival(64 * 1024, 'a');
    for (int i = 0; i < 20; ++i) {
        LogFile->WriteArrival(arrival);
    }
    LogFile->WriteLine("Content=", std::string(300, 'c'));
    LogFile->WriteLine("result");
    const auto log = Log();
    const auto arrivals = std::count_if(log.begin(), log.end(), [&](const std::string& e) { return e == arrival; });
    EXPECT_EQ(arrivals, 16);
    ASSERT_GE(log.size(), 3u);
    EXPECT_NE(log[log.size() - 3].find("LogMaxMB"), std::string::npos);
    EXPECT_EQ(log[log.size() - 2], "Content=" + Gbk("…(300 bytes)"));
    EXPECT_EQ(log.back(), "result");
}

// The day's log, Option.ini and the day's counts hold guest names and card
// numbers: nobody but the program's user and group reads them, whatever
// the umask of the desktop or shell that started it.
TEST_F(LogFileTest, FilesTheProgramCreatesAreForItsUserAndGroupOnly)
{
    if (!TFileCreationMask::Supported()) {
        GTEST_SKIP() << kNoFileCreationMask;
    }
    const TFileCreationMask mask(022);
    const std::unique_ptr<TLogFile> daily = TLogFile::Daily(Dir());
    daily->WriteLine("first");
    SysOption->Save();
    TServiceStatus status;
    const std::string counts = Dir() + TDayCountsFile::kFileName;
    TDayCountsFile countsFile(counts, status);
    status.RequestAnswered(false, "200");
    ASSERT_TRUE(countsFile.Save());
    for (const std::string& path : {daily->FileName(), OptionPath(), counts}) {
        EXPECT_EQ(TFileCreationMask::ModeOf(path), 0640u) << path;
    }
}
