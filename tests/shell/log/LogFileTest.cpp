#include "base/TextCodec.h"
#include "config/SysOptionUnit.h"
#include "shell/log/LogFileUnit.h"

#include "support/FileSizeLimit.h"
#include "support/TestEnvironment.h"

#include <QFile>
#include <QRegularExpression>

#include <gtest/gtest.h>

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

TEST(LogFileNameTest, NamedAfterTodayBesideTheExecutable)
{
    const QString name = QString::fromStdString(TodayLogFileName());
    EXPECT_TRUE(QRegularExpression(QStringLiteral("[/\\\\]\\d{8}\\.LOG$")).match(name).hasMatch()) << name.toStdString();
}

} // namespace
