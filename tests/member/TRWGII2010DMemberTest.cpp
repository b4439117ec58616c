#include "member/TRWGII2010DMemberUnit.h"

#include "support/ScriptedPrinterLibrary.h"
#include "base/TextCodec.h"
#include "member/MemberMessageHandlerUnit.h"
#include "member/OptionUnit.h"
#include "support/TestEnvironment.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <thread>

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::IsEmpty;

namespace {

const std::string kKey = "\"A3B19C07E2D4\"";
const std::string kNoCardText = "No target card(only when using a no card status command)C";

class TRWGII2010DMemberTest : public TProcessObjectsTest {
protected:
    // Opens the port (handle 7) and forgets the calls and lines it made.
    void OpenPort()
    {
        ASSERT_TRUE(Device.OpenPort());
        m_skipCalls = Library.Calls().size();
        m_skipLog = Log().size();
    }
    std::vector<std::string> Calls() const
    {
        const std::vector<std::string> all = Library.Calls();
        return {all.begin() + static_cast<std::ptrdiff_t>(m_skipCalls), all.end()};
    }
    // Log entries since OpenPort, turned into UTF-8 for readable failures.
    std::vector<std::string> Lines() const
    {
        std::vector<std::string> lines;
        const std::vector<std::string> all = Log();
        for (size_t i = m_skipLog; i < all.size(); ++i) {
            lines.push_back(TextCodec::GbkToUtf8(all[i]));
        }
        return lines;
    }
    std::string WriteCall(const std::string& cardNo, int block = 1) const
    {
        return "RfidCardRequestAndWriteData(7," + std::to_string(block) + ",0," + kKey + "," + Quoted(cardNo) + ",15)";
    }
    static std::string TextCall(int y, const std::string& gbkText, int mode = 0)
    {
        return "PrintCharacterDataSetting(7," + std::to_string(mode) + ",0," + std::to_string(y) + "," + Quoted(gbkText)
            + "," + std::to_string(gbkText.size()) + ",15)";
    }

    TScriptedPrinterLibrary Library;
    TTRWGII2010DMember Device {Library};

private:
    size_t m_skipCalls = 0;
    size_t m_skipLog = 0;
};

const std::string kSampleContent = Gbk("\r\n当前消费:100\r\n卡内余额:300");

// --- Port -------------------------------------------------------------------

TEST_F(TRWGII2010DMemberTest, OpenPortPassesPortNumberAndBaudRateOfTheOptions)
{
    struct TCase {
        std::string portName;
        int32_t bandrate;
        std::string call;
    };
    const TCase cases[] = {
        {"USB", 57600, "CommOpen(100,0)"},
        // Only "USB" itself is the USB port; the lower-case name goes the serial way.
        {"usb", 9600, "CommOpen(0,9600)"},
        {"COM3", 19200, "CommOpen(3,19200)"},
        {"/dev/ttyUSB0", 38400, "CommOpen(1,38400)"},
    };
    for (const TCase& c : cases) {
        TScriptedPrinterLibrary library;
        TTRWGII2010DMember device(library);
        MemberOption->PortName = c.portName;
        MemberOption->Bandrate = c.bandrate;
        EXPECT_TRUE(device.OpenPort()) << c.portName;
        EXPECT_THAT(library.Calls(), ElementsAre(c.call)) << c.portName;
        EXPECT_EQ(device.Handle(), 7);
    }
}

TEST_F(TRWGII2010DMemberTest, OpenPortWithoutHandleFailsAndLogsIt)
{
    Library.Script("CommOpen", {0});
    EXPECT_FALSE(Device.OpenPort());
    EXPECT_EQ(Device.Handle(), 0);
    EXPECT_THAT(Lines(), ElementsAre("打开串口失败."));

    // Card operations then hand the empty handle to the library.
    Device.WriteCard("1", "", "", "", -1);
    EXPECT_EQ(Library.Calls()[1], "CardInOver(0,15)");
}

TEST_F(TRWGII2010DMemberTest, OpeningAnOpenPortAgainClosesItFirst)
{
    EXPECT_TRUE(Device.OpenPort());
    Library.Script("CommOpen", {9});
    EXPECT_TRUE(Device.OpenPort());
    EXPECT_EQ(Device.Handle(), 9);
    EXPECT_TRUE(Device.ClosePort());
    EXPECT_TRUE(Device.OpenPort());
    EXPECT_THAT(Library.Calls(),
        ElementsAre("CommOpen(100,0)", "CommClose(7)", "CommOpen(100,0)", "CommClose(9)", "CommOpen(100,0)"));
    EXPECT_THAT(Lines(), ElementsAre("打开串口成功.", "打开串口成功.", "串口关闭成功.", "打开串口成功."));
}

TEST_F(TRWGII2010DMemberTest, ClosePortJudgesTheLowestByteOnly)
{
    struct TCase {
        int32_t result;
        bool closed;
    };
    for (const TCase c : {TCase {1, true}, TCase {-1, true}, TCase {0, false}, TCase {0x100, false}}) {
        TScriptedPrinterLibrary library;
        TTRWGII2010DMember device(library);
        ASSERT_TRUE(device.OpenPort());
        library.Script("CommClose", {c.result});
        EXPECT_EQ(device.ClosePort(), c.closed) << c.result;
        EXPECT_EQ(library.Calls().back(), "CommClose(7)");
        EXPECT_EQ(device.Handle(), 7);
    }
    const std::vector<std::string> lines = Lines();
    EXPECT_THAT(lines,
        ElementsAre("打开串口成功.", "串口关闭成功.", "打开串口成功.", "串口关闭成功.", "打开串口成功.", "串口关闭失败.",
            "打开串口成功.", "串口关闭失败."));
}

TEST_F(TRWGII2010DMemberTest, ResetSucceedsOnlyOnStatus32AndLogsNoStatusText)
{
    OpenPort();
    Library.Script("Reset", {32, 56});
    EXPECT_TRUE(Device.ResetDevice());
    EXPECT_FALSE(Device.ResetDevice());
    EXPECT_THAT(Calls(), ElementsAre("Reset(7,15)", "Reset(7,15)"));
    EXPECT_THAT(Lines(), ElementsAre("复位成功.", "复位失败."));
}

// --- Write and read --------------------------------------------------------

TEST_F(TRWGII2010DMemberTest, WriteCardIsOneTransactionOnTheBlockOfTheMoment)
{
    OpenPort();
    EXPECT_TRUE(Device.WriteCard("00012345", Gbk("张三"), "2030-01-01", "100", 11));
    MemberOption->BlockNo = 5;
    EXPECT_TRUE(Device.WriteCard(" 42", "", "", "", -1));
    EXPECT_THAT(Calls(),
        ElementsAre("CardInOver(7,15)", WriteCall("00012345"), "Dischange(7,1,15)", "CardInOver(7,15)",
            WriteCall(" 42", 5), "Dischange(7,1,15)"));
    EXPECT_THAT(Lines(), ElementsAre("写数据块成功.卡号:00012345", "写数据块成功.卡号: 42"));
}

TEST_F(TRWGII2010DMemberTest, WriteStaysSuccessfulWhenOnlyTheEjectFails)
{
    OpenPort();
    Library.Script("Dischange", {56});
    EXPECT_TRUE(Device.WriteCard("00012345", "", "", "", -1));
    EXPECT_THAT(Lines(), ElementsAre("写数据块成功.卡号:00012345", "出卡失败:Card jam B"));
}

TEST_F(TRWGII2010DMemberTest, FailedWriteStepsStillEjectTheCard)
{
    struct TCase {
        std::string failing;
        int32_t status;
        std::vector<std::string> calls;
        std::vector<std::string> lines;
    };
    const std::vector<TCase> cases = {
        {"CardInOver", 56, {"CardInOver(7,15)", "Dischange(7,1,15)"}, {"进卡失败:Card jam B"}},
        {"RfidCardRequestAndWriteData", 65, {"CardInOver(7,15)", WriteCall("8"), "Dischange(7,1,15)"},
            {"写数据块失败:命令无效 C"}},
        // A code the table does not know leaves the prefix alone.
        {"RfidCardRequestAndWriteData", 99, {"CardInOver(7,15)", WriteCall("8"), "Dischange(7,1,15)"},
            {"写数据块失败:"}},
    };
    for (const TCase& c : cases) {
        TScriptedPrinterLibrary library;
        TTRWGII2010DMember device(library);
        ASSERT_TRUE(device.OpenPort());
        const size_t logBefore = Log().size();
        library.Script(c.failing, {c.status});
        EXPECT_FALSE(device.WriteCard("8", "", "", "", -1)) << c.failing;
        std::vector<std::string> calls = library.Calls();
        calls.erase(calls.begin());
        EXPECT_EQ(calls, c.calls);
        std::vector<std::string> lines;
        for (size_t i = logBefore; i < Log().size(); ++i) {
            lines.push_back(TextCodec::GbkToUtf8(Log()[i]));
        }
        EXPECT_EQ(lines, c.lines) << c.failing;
    }
}

TEST_F(TRWGII2010DMemberTest, ReadCardGivesOnlyTheCardNumber)
{
    OpenPort();
    Library.ReadData = std::string("00012345\0garbage", 16);
    std::string cardNo = "old";
    std::string password = "p";
    std::string expire = "e";
    std::string name = "n";
    std::string score = "s";
    EXPECT_TRUE(Device.ReadCard(true, cardNo, password, expire, name, score, 11));
    EXPECT_EQ(cardNo, "00012345");
    EXPECT_EQ(password + expire + name + score, "");
    EXPECT_TRUE(Library.ReadBufferWasZeroed());
    EXPECT_THAT(Calls(),
        ElementsAre("CardInOver(7,15)", "RfidCardRequestAndReadData(7,1,0," + kKey + ",buffer,15)",
            "Dischange(7,1,15)"));
    EXPECT_THAT(Lines(), ElementsAre("读卡成功.卡号:00012345"));
}

TEST_F(TRWGII2010DMemberTest, ReadOfAFullBlockWithoutZeroByteEndsAtTheBlock)
{
    OpenPort();
    // The zero-filled buffer ends the text where the library stopped writing.
    Library.ReadData = "0123456789ABCDEF";
    std::string cardNo, password, expire, name, score;
    EXPECT_TRUE(Device.ReadCard(false, cardNo, password, expire, name, score, -1));
    EXPECT_EQ(cardNo, "0123456789ABCDEF");
}

TEST_F(TRWGII2010DMemberTest, FailedReadLeavesEveryOutputEmptyAndEjects)
{
    struct TCase {
        std::string failing;
        int32_t status;
        std::string line;
    };
    for (const TCase& c : {TCase {"RfidCardRequestAndReadData", 34, "读卡失败:" + kNoCardText},
             TCase {"CardInOver", 56, "进卡失败:Card jam B"}}) {
        TScriptedPrinterLibrary library;
        TTRWGII2010DMember device(library);
        ASSERT_TRUE(device.OpenPort());
        library.ReadData = "00012345";
        library.Script(c.failing, {c.status});
        const size_t logBefore = Log().size();
        std::string cardNo = "x", password = "x", expire = "x", name = "x", score = "x";
        EXPECT_FALSE(device.ReadCard(false, cardNo, password, expire, name, score, -1));
        EXPECT_EQ(cardNo + password + expire + name + score, "") << c.failing;
        EXPECT_EQ(library.Calls().back(), "Dischange(7,1,15)");
        ASSERT_EQ(Log().size(), logBefore + 1);
        EXPECT_EQ(TextCodec::GbkToUtf8(Log().back()), c.line);
    }
}

TEST(StatusTextTest, KnowsTheTableAndNothingElse)
{
    struct TCase {
        int32_t code;
        std::string text;
    };
    const TCase cases[] = {
        {1, "串口句柄为空"},
        {4, "操作结果格式错误"},
        {32, "操作成功！"},
        {35, "No magnetic stripe(when inserted backward) or other error C"},
        {56, "Card jam B"},
        {65, "命令无效 C"},
        {81, "Expand buffer overflow"},
        {0, ""},
        {5, ""},
        {33, ""},
        {68, ""},
        {82, ""},
        {-32, ""},
    };
    for (const TCase& c : cases) {
        EXPECT_EQ(TextCodec::GbkToUtf8(TTRWGII2010DMember::StatusText(c.code)), c.text) << c.code;
    }
}

// --- Printing --------------------------------------------------------------

TEST_F(TRWGII2010DMemberTest, PrintsTheSampleContentAtTheTop)
{
    OpenPort();
    EXPECT_TRUE(Device.PrintCard("88888888", kSampleContent));
    EXPECT_THAT(Calls(),
        ElementsAre("CardInOver(7,15)", "PrintBufferClear(7,15)", TextCall(23, Gbk("当前消费:100\r\n卡内余额:300\r\n")),
            "ErasePrintDischarge(7,1,1,1,15)"));
    EXPECT_THAT(Lines(), ElementsAre("当前消费:100", "卡内余额:300", "擦除打印成功."));
}

TEST_F(TRWGII2010DMemberTest, PrintsTheAdvertisingTextAtYStateWithThePrintMode)
{
    MemberOption->Adtext = Gbk("欢迎光临|Velmora酒店");
    MemberOption->YState = 300;
    MemberOption->PrintMode = 2;
    OpenPort();
    EXPECT_TRUE(Device.PrintCard("1", "A"));
    EXPECT_THAT(Calls(),
        ElementsAre("CardInOver(7,15)", "PrintBufferClear(7,15)", TextCall(23, "A\r\n", 2),
            TextCall(300, Gbk("欢迎光临\r\nVelmora酒店"), 2), "ErasePrintDischarge(7,1,1,1,15)"));
}

TEST_F(TRWGII2010DMemberTest, EmptyContentStillSendsAnEmptyText)
{
    OpenPort();
    EXPECT_TRUE(Device.PrintCard("1", " \r\n\t"));
    EXPECT_EQ(Calls()[2], TextCall(23, ""));
    EXPECT_THAT(Lines(), ElementsAre("擦除打印成功."));
}

TEST_F(TRWGII2010DMemberTest, BlankLinesAreLoggedAndPrintedAsTheyWereWritten)
{
    OpenPort();
    EXPECT_TRUE(Device.PrintCard("1", "one\r\n\r\ntwo\n\nthree"));
    EXPECT_EQ(Calls()[2], TextCall(23, "one\r\n\r\ntwo\r\nthree\r\n"));
    EXPECT_THAT(Lines(), ElementsAre("one", "", "two", "three", "擦除打印成功."));
}

TEST_F(TRWGII2010DMemberTest, RowlenOfTheMomentCutsLinesAndBelowOnePrintsThemWhole)
{
    OpenPort();
    const std::string line = "1234567890";
    MemberOption->Rowlen = 4;
    EXPECT_TRUE(Device.PrintCard("1", line));
    for (int32_t width : {0, -5}) {
        MemberOption->Rowlen = width;
        EXPECT_TRUE(Device.PrintCard("1", line));
    }
    const std::vector<std::string> calls = Calls();
    EXPECT_EQ(calls[2], TextCall(23, "1234\r\n5678\r\n90\r\n"));
    EXPECT_EQ(calls[6], TextCall(23, "1234567890\r\n"));
    EXPECT_EQ(calls[10], TextCall(23, "1234567890\r\n"));
}

TEST_F(TRWGII2010DMemberTest, FailedSendsNameBothTextsAndEjectTheCardUnprinted)
{
    struct TCase {
        std::string adtext;
        std::vector<int32_t> statuses;
        std::string line;
    };
    const TCase cases[] = {
        {"AD", {65, 81}, "发送文本失败:命令无效 C;Expand buffer overflow"},
        {"AD", {32, 56}, "发送文本失败:操作成功！;Card jam B"},
        {"AD", {99, 32}, "发送文本失败:;操作成功！"},
        {"", {65}, "发送文本失败:命令无效 C;"},
    };
    for (const TCase& c : cases) {
        TScriptedPrinterLibrary library;
        TTRWGII2010DMember device(library);
        ASSERT_TRUE(device.OpenPort());
        MemberOption->Adtext = c.adtext;
        library.Script("PrintCharacterDataSetting", c.statuses);
        const size_t logBefore = Log().size();
        EXPECT_FALSE(device.PrintCard("1", "X"));
        const std::vector<std::string> calls = library.Calls();
        ASSERT_EQ(calls.size(), 4 + c.statuses.size()) << c.line;
        EXPECT_EQ(calls.back(), "Dischange(7,1,15)");
        EXPECT_EQ(TextCodec::GbkToUtf8(Log().back()), c.line);
        EXPECT_EQ(Log().size(), logBefore + 2) << "content line and failure line";
    }
}

TEST_F(TRWGII2010DMemberTest, PrintStopsAtAFailedCardInOrBufferClearAndEjects)
{
    struct TCase {
        std::string failing;
        std::vector<std::string> calls;
        std::string line;
    };
    const TCase cases[] = {
        {"CardInOver", {"CardInOver(7,15)", "Dischange(7,1,15)"}, "进卡失败:Card jam B"},
        {"PrintBufferClear", {"CardInOver(7,15)", "PrintBufferClear(7,15)", "Dischange(7,1,15)"},
            "清除缓存数据失败:Card jam B"},
    };
    for (const TCase& c : cases) {
        TScriptedPrinterLibrary library;
        TTRWGII2010DMember device(library);
        ASSERT_TRUE(device.OpenPort());
        library.Script(c.failing, {56});
        const size_t logBefore = Log().size();
        EXPECT_FALSE(device.PrintCard("1", kSampleContent));
        std::vector<std::string> calls = library.Calls();
        calls.erase(calls.begin());
        EXPECT_EQ(calls, c.calls);
        ASSERT_EQ(Log().size(), logBefore + 1) << "no content lines are logged";
        EXPECT_EQ(TextCodec::GbkToUtf8(Log().back()), c.line);
    }
}

TEST_F(TRWGII2010DMemberTest, FailedErasePrintEjectIsLoggedAndNotRepeated)
{
    OpenPort();
    Library.Script("ErasePrintDischarge", {64});
    EXPECT_FALSE(Device.PrintCard("1", "X"));
    EXPECT_EQ(Calls().back(), "ErasePrintDischarge(7,1,1,1,15)");
    EXPECT_THAT(Lines(), ElementsAre("X", "擦除打印失败:Cover open B"));
}

// --- Options dialog --------------------------------------------------------

TEST_F(TRWGII2010DMemberTest, ShowOptionsShowsTheRegisteredDialog)
{
    Device.ShowOptions();
    int shown = 0;
    SetOptionsDialog([&] { ++shown; });
    Device.ShowOptions();
    SetOptionsDialog(nullptr);
    Device.ShowOptions();
    EXPECT_EQ(shown, 1);
    EXPECT_THAT(Library.Calls(), IsEmpty());
}

// --- Through the request path ---------------------------------------------

// The card holds a forged entry after CR LF, and an ESC sequence; the
// content to print has a lone CR.
TEST_F(TRWGII2010DMemberTest, WhatACardHoldsOrAClientPrintsNeverBeginsALine)
{
    OpenPort();
    CurrentMemberDevice = &Device;
    Library.ReadData = "1\r\n2025-01-01 00:00:00 \x1B[2J";
    TRecordingConnection connection;
    RunToEnd(TMemberMessageHandler().HandleMessage(
        connection, QStringLiteral("<r type=\"ReadMemberCard\"><InputPassword>0</InputPassword></r>")));
    EXPECT_NE(connection.Written.find("<CardNo>1\r\n2025-01-01"), std::string::npos) << "the answer is as read";
    EXPECT_TRUE(Device.PrintCard("1", "a\rb\nc"));
    EXPECT_EQ(LogBytes().find("\r\n2025-01-01"), std::string::npos);
    EXPECT_EQ(LogBytes().find("\rb"), std::string::npos);
    const std::string escaped = "1\\r\\n2025-01-01 00:00:00 \\x1B[2J";
    EXPECT_THAT(Lines(),
        ElementsAre(::testing::StartsWith("收到消息: \r\n\t"), "读卡成功.卡号:" + escaped, "读卡成功，卡号为：" + escaped,
            "a\\rb", "c", "擦除打印成功."));
}

TEST_F(TRWGII2010DMemberTest, ConcurrentRequestsRunWholeTransactionsOneAfterAnother)
{
    Library.CallTime = std::chrono::milliseconds(2);
    OpenPort();
    CurrentMemberDevice = &Device;
    constexpr int kRequests = 12;
    std::vector<std::thread> threads;
    for (int i = 0; i < kRequests; ++i) {
        threads.emplace_back([i] {
            const std::string cardNo = std::to_string(10000 + i);
            const QString request = QString::fromStdString("<R type=\"WriteMemberCard\"><RequestID>1</RequestID><CardNo>"
                + cardNo + "</CardNo><ExpireDate/><GuestName/><Score/></R>");
            TRecordingConnection connection;
            RunToEnd(TMemberMessageHandler().HandleMessage(connection, request));
        });
    }
    for (std::thread& t : threads) {
        t.join();
    }
    EXPECT_EQ(Library.OverlappingCalls(), 0);
    const std::vector<std::string> calls = Calls();
    ASSERT_EQ(calls.size(), 3u * kRequests);
    for (size_t i = 0; i < calls.size(); i += 3) {
        EXPECT_EQ(calls[i], "CardInOver(7,15)");
        EXPECT_TRUE(calls[i + 1].starts_with("RfidCardRequestAndWriteData(7,1,0,")) << calls[i + 1];
        EXPECT_EQ(calls[i + 2], "Dischange(7,1,15)");
    }
}

} // namespace
