#include "SoakLog.h"

#include "base/TextCodec.h"
#include "support/TestEnvironment.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

namespace {

// The soak's verdict rests on this count, so it must tell the handler's
// entries from the driver's look-alikes and keep multi-line entries whole.
TEST(SoakLogTest, CountsArrivalsAndOutcomesOfTheHandlerOnly)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const std::string path = dir.path().toStdString() + "/20260101.LOG";
    const char* const lines[] = {
        "打开串口成功.",
        "收到消息: \r\n\t<Request type=\"WriteMemberCard\"><CardNo>S1</CardNo>\r\n</Request>",
        "写数据块成功.卡号:S1",
        "写卡成功,卡号为:S1",
        "收到消息: \r\n\t",
        "收到消息: \r\n\t<Request type=\"ReadMemberCard\"/>",
        "读卡失败:Card jam B",
        "读卡失败",
        "收到消息: \r\n\t<Request type=\"ReadMemberCard\"/>",
        "读卡成功.卡号:S1",
        "读卡成功，卡号为：S1",
        "收到消息: \r\n\t<Request type=\"PrintMemberCard\"/>",
        "Content=当前消费:100\n卡内余额:300",
        "擦除打印成功.",
        "打印卡成功",
        "写卡失败,卡号为:S2",
        "打印卡失败",
        "串口关闭成功.",
    };
    std::string log;
    for (const char* line : lines) {
        log += "2026-01-01 10:00:00 " + Gbk(line) + "\r\n";
    }
    WriteFileBytes(path, log);

    const TSoakLogCounts counts = CountLog(path);
    EXPECT_EQ(counts.Entries, std::size(lines));
    EXPECT_EQ(counts.Received, 5u);
    EXPECT_EQ(counts.EmptyReceived, 1u);
    EXPECT_EQ(counts.WriteOk, 1u);
    EXPECT_EQ(counts.WriteFailed, 1u);
    EXPECT_EQ(counts.ReadOk, 1u);
    EXPECT_EQ(counts.ReadFailed, 1u) << "the driver's \"读卡失败:\" line is not the handler's";
    EXPECT_EQ(counts.PrintOk, 1u);
    EXPECT_EQ(counts.PrintFailed, 1u);
    EXPECT_EQ(counts.Outcomes(), 6u);
    EXPECT_EQ(counts.WrittenCards, (std::map<std::string, size_t> {{"S1", 1}}));
}

TEST(SoakLogTest, AMissingLogCountsNothing)
{
    const TSoakLogCounts counts = CountLog("/nonexistent/none.LOG");
    EXPECT_EQ(counts.Entries, 0u);
    EXPECT_EQ(counts.Outcomes(), 0u);
}

} // namespace
