#include "sim/SimulatedPrinter.h"

#include "base/ProfileFile.h"
#include "base/TextCodec.h"
#include "support/TestEnvironment.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <array>
#include <chrono>
#include <cstring>
#include <future>
#include <thread>

namespace {

constexpr int32_t kOk = 32;
const char* const kKey = TSimulatedPrinter::AccessKey;

class SimulatedPrinterTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_dir.isValid()); }

    std::string Folder() const { return m_dir.path().toStdString() + "/"; }
    std::string StatePath() const { return Folder() + "CardPrinter.ini"; }
    std::string Ini(const std::string& section, const std::string& key) const
    {
        return TProfileFile(StatePath()).ReadString(section, key, "<none>");
    }
    void SetIni(const std::string& section, const std::string& key, const std::string& value) const
    {
        TProfileFile ini(StatePath());
        ini.WriteString(section, key, value);
        ini.UpdateFile();
    }
    int32_t OpenUsb()
    {
        const int32_t handle = Printer.CommOpen(100, 0);
        EXPECT_NE(handle, 0);
        return handle;
    }
    std::string ReadBlock(int32_t handle, int32_t block)
    {
        std::array<char, 64> buffer {};
        EXPECT_EQ(Printer.RfidCardRequestAndReadData(handle, block, 0, kKey, buffer.data(), 15), kOk);
        return buffer.data();
    }

    QTemporaryDir m_dir;
    TSimulatedPrinter Printer {Folder()};
};

TEST_F(SimulatedPrinterTest, OpensUsbAndSerialPortsAtTheKnownRates)
{
    struct TCase {
        int32_t port;
        int32_t baud;
        bool opens;
    };
    const TCase cases[] = {
        {100, 0, true},
        {100, 9600, false},
        {1, 9600, true},
        {2, 14400, true},
        {3, 19200, true},
        {4, 38400, true},
        {16, 57600, true},
        {5, 0, false},
        {6, 9601, false},
        {6, 115200, false},
        {17, 9600, false},
        {0, 9600, false},
        {-1, 9600, false},
        {99, 9600, false},
    };
    for (const TCase& c : cases) {
        const int32_t handle = Printer.CommOpen(c.port, c.baud);
        EXPECT_EQ(handle != 0, c.opens) << c.port << " at " << c.baud;
    }
}

TEST_F(SimulatedPrinterTest, APortOpensOnceUntilItIsClosed)
{
    const int32_t first = OpenUsb();
    EXPECT_EQ(Printer.CommOpen(100, 0), 0);
    EXPECT_NE(Printer.CommOpen(1, 9600), 0) << "another port is free";
    EXPECT_EQ(Printer.CommClose(first), 1);
    EXPECT_EQ(Printer.CommClose(first), 0) << "closed already";
    const int32_t second = OpenUsb();
    EXPECT_NE(second, first);
}

TEST_F(SimulatedPrinterTest, CallsOnAHandleThatIsNotOpenGiveStatus1)
{
    const int32_t handle = OpenUsb();
    ASSERT_EQ(Printer.CommClose(handle), 1);
    std::array<char, 64> buffer {};
    for (const int32_t h : {0, handle, handle + 1000}) {
        EXPECT_EQ(Printer.Reset(h, 15), 1);
        EXPECT_EQ(Printer.CardInOver(h, 15), 1);
        EXPECT_EQ(Printer.Dischange(h, 1, 15), 1);
        EXPECT_EQ(Printer.RfidCardRequestAndWriteData(h, 1, 0, kKey, "1", 15), 1);
        EXPECT_EQ(Printer.RfidCardRequestAndReadData(h, 1, 0, kKey, buffer.data(), 15), 1);
        EXPECT_EQ(Printer.PrintBufferClear(h, 15), 1);
        EXPECT_EQ(Printer.PrintCharacterDataSetting(h, 0, 0, 23, "", 0, 15), 1);
        EXPECT_EQ(Printer.ErasePrintDischarge(h, 1, 1, 1, 15), 1);
    }
    EXPECT_EQ(Ini("Card", "Inside"), "0");
}

TEST_F(SimulatedPrinterTest, TheCardGoesInAndOutAndKeepsItsBlocks)
{
    const int32_t h = OpenUsb();
    EXPECT_EQ(Printer.Dischange(h, 1, 15), 34) << "nothing inside to eject";
    ASSERT_EQ(Printer.CardInOver(h, 15), kOk);
    EXPECT_EQ(Ini("Card", "Present"), "0");
    EXPECT_EQ(Ini("Card", "Inside"), "1");
    EXPECT_EQ(Printer.CardInOver(h, 15), 65) << "a card is inside already";
    EXPECT_EQ(Printer.RfidCardRequestAndWriteData(h, 1, 0, kKey, "00012345", 15), kOk);
    EXPECT_EQ(Printer.Dischange(h, 1, 15), kOk);
    EXPECT_EQ(Ini("Card", "Present"), "1");
    EXPECT_EQ(Ini("Card", "Inside"), "0");
    EXPECT_EQ(Ini("Card", "Block1"), "00012345");

    // The same card comes back in, in a printer that starts afresh.
    TSimulatedPrinter restarted(Folder());
    const int32_t h2 = restarted.CommOpen(100, 0);
    ASSERT_EQ(restarted.CardInOver(h2, 15), kOk);
    std::array<char, 64> buffer {};
    EXPECT_EQ(restarted.RfidCardRequestAndReadData(h2, 1, 0, kKey, buffer.data(), 15), kOk);
    EXPECT_STREQ(buffer.data(), "00012345");
    EXPECT_EQ(restarted.RfidCardRequestAndReadData(h2, 2, 0, kKey, buffer.data(), 15), kOk);
    EXPECT_STREQ(buffer.data(), "") << "a block never written is empty";
}

TEST_F(SimulatedPrinterTest, WithoutACardAtTheSlotNothingGoesIn)
{
    const int32_t h = OpenUsb();
    SetIni("Card", "Present", "0");
    EXPECT_EQ(Printer.CardInOver(h, 15), 34);
    EXPECT_EQ(Printer.RfidCardRequestAndWriteData(h, 1, 0, kKey, "1", 15), 34);
    EXPECT_EQ(Printer.ErasePrintDischarge(h, 1, 1, 1, 15), 34);
    EXPECT_EQ(Printer.Dischange(h, 1, 15), 34);
}

TEST_F(SimulatedPrinterTest, RfidCallsCheckKeyBlockAndData)
{
    const int32_t h = OpenUsb();
    ASSERT_EQ(Printer.CardInOver(h, 15), kOk);
    struct TCase {
        int32_t block;
        int32_t mode;
        const char* key;
        const char* data;
        int32_t status;
    };
    const TCase cases[] = {
        {0, 0, kKey, "first", kOk},
        {63, 0, kKey, "last", kOk},
        {5, 0, kKey, "0123456789ABCDEF", kOk},
        {5, 0, kKey, "0123456789ABCDEFG", 65},
        {-1, 0, kKey, "x", 65},
        {64, 0, kKey, "x", 65},
        {1, 0, "A3B19C07E2D5", "x", 65},
        {1, 0, "a3b19c07e2d4", "x", 65},
        {1, 0, nullptr, "x", 65},
        {1, 0, kKey, nullptr, 65},
        {1, 7, kKey, "x", 65},
        {1, 0, kKey, "line\r\nbreak", 65},
    };
    for (const TCase& c : cases) {
        EXPECT_EQ(Printer.RfidCardRequestAndWriteData(h, c.block, c.mode, c.key, c.data, 15), c.status)
            << c.block << " " << (c.data ? c.data : "null");
    }
    EXPECT_EQ(ReadBlock(h, 0), "first");
    EXPECT_EQ(ReadBlock(h, 63), "last");
    EXPECT_EQ(ReadBlock(h, 5), "0123456789ABCDEF");
    std::array<char, 64> buffer {};
    EXPECT_EQ(Printer.RfidCardRequestAndReadData(h, 64, 0, kKey, buffer.data(), 15), 65);
    EXPECT_EQ(Printer.RfidCardRequestAndReadData(h, 1, 0, "wrong", buffer.data(), 15), 65);
    EXPECT_EQ(Printer.RfidCardRequestAndReadData(h, 1, 0, kKey, nullptr, 15), 65);
}

TEST_F(SimulatedPrinterTest, BlocksKeepBlanksQuotesAndChineseBytes)
{
    const int32_t h = OpenUsb();
    ASSERT_EQ(Printer.CardInOver(h, 15), kOk);
    const std::string values[] = {" 42", "42 ", "\"q\"", "'", Gbk("会员卡")};
    for (size_t i = 0; i < std::size(values); ++i) {
        const int32_t block = static_cast<int32_t>(10 + i);
        ASSERT_EQ(Printer.RfidCardRequestAndWriteData(h, block, 0, kKey, values[i].c_str(), 15), kOk);
        EXPECT_EQ(ReadBlock(h, block), values[i]);
    }
}

TEST_F(SimulatedPrinterTest, ReadWritesAtMostSixteenBytesAndAZero)
{
    const int32_t h = OpenUsb();
    ASSERT_EQ(Printer.CardInOver(h, 15), kOk);
    SetIni("Card", "Block3", "ABCDEFGHIJKLMNOPQRSTUVWXYZ");
    std::array<char, 64> buffer;
    buffer.fill('#');
    ASSERT_EQ(Printer.RfidCardRequestAndReadData(h, 3, 0, kKey, buffer.data(), 15), kOk);
    EXPECT_EQ(std::string(buffer.data(), 18), std::string("ABCDEFGHIJKLMNOP\0#", 18));
}

TEST_F(SimulatedPrinterTest, AFaultAnswersEveryCallUntilItIsRemoved)
{
    const int32_t h = OpenUsb();
    SetIni("Faults", "CardInOver", "56");
    EXPECT_EQ(Printer.CardInOver(h, 15), 56);
    EXPECT_EQ(Printer.CardInOver(h, 15), 56);
    EXPECT_EQ(Ini("Card", "Inside"), "0") << "a failed call changes nothing";
    SetIni("Faults", "CardInOver", "");
    EXPECT_EQ(Printer.CardInOver(h, 15), kOk);

    SetIni("Faults", "Dischange", "0x40");
    EXPECT_EQ(Printer.Dischange(h, 1, 15), 64);
    SetIni("Faults", "CommOpen", "0");
    EXPECT_EQ(Printer.CommOpen(1, 9600), 0);
    SetIni("Faults", "CommClose", "0");
    EXPECT_EQ(Printer.CommClose(h), 0);
}

TEST_F(SimulatedPrinterTest, ACallWhileAnotherRunsOnThePortIsRefused)
{
    const int32_t h = OpenUsb();
    SetIni("Faults", "DelayMs", "300");
    auto slow = std::async(std::launch::async, [&] { return Printer.CardInOver(h, 15); });
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(Printer.Reset(h, 15), 2);
    EXPECT_EQ(slow.get(), kOk);
    SetIni("Faults", "DelayMs", "0");
    EXPECT_EQ(Printer.Reset(h, 15), kOk) << "the port is free again";
}

TEST_F(SimulatedPrinterTest, CrashEveryCrashesTheNamedFunctionOnEveryNthCallCountedInTheFile)
{
#ifdef _WIN32
    GTEST_SKIP() << "under Wine a crash starts Wine's debugger in the crashing process before the count is "
                    "on disk; the crash itself is tested through the printer host";
#endif
    const int32_t h = OpenUsb();
    SetIni("Faults", "Crash", "Reset");
    SetIni("Faults", "CrashEvery", "3");
    EXPECT_EQ(Printer.Reset(h, 15), kOk);
    EXPECT_EQ(Printer.CardInOver(h, 15), kOk) << "another function";
    EXPECT_EQ(Printer.Reset(h, 15), kOk);
    EXPECT_EQ(Ini("Faults", "CrashCount"), "2");
    EXPECT_DEATH(Printer.Reset(h, 15), "");
    // The process that crashed counted its call in the file; a new one
    // counts on from there.
    EXPECT_EQ(Ini("Faults", "CrashCount"), "3");
    EXPECT_EQ(Printer.Reset(h, 15), kOk);
    EXPECT_EQ(Ini("Faults", "CrashCount"), "4");
}

TEST_F(SimulatedPrinterTest, PrintingWritesTheFaceAndEjects)
{
    const int32_t h = OpenUsb();
    WriteFileBytes(Folder() + "CardFace.png", "an older card");
    ASSERT_EQ(Printer.CardInOver(h, 15), kOk);
    ASSERT_EQ(Printer.PrintBufferClear(h, 15), kOk);
    const std::string content = Gbk("当前消费:100\r\n卡内余额:300\r\n");
    const std::string ad = Gbk("欢迎光临\r\nVelmora");
    ASSERT_EQ(Printer.PrintCharacterDataSetting(h, 0, 0, 23, content.c_str(), int32_t(content.size()), 15), kOk);
    ASSERT_EQ(Printer.PrintCharacterDataSetting(h, 0, 0, 350, ad.c_str(), int32_t(ad.size()), 15), kOk);
    ASSERT_EQ(Printer.ErasePrintDischarge(h, 1, 1, 1, 15), kOk);

    EXPECT_EQ(ReadFileBytes(Folder() + "CardFace.txt"),
        "y=23\t当前消费:100\ny=47\t卡内余额:300\ny=350\t欢迎光临\ny=374\tVelmora\n");
    EXPECT_FALSE(QFile::exists(QString::fromStdString(Folder() + "CardFace.png")))
        << "without a QGuiApplication no picture, and no stale one";
    EXPECT_EQ(Ini("Card", "Inside"), "0");
    EXPECT_EQ(Printer.ErasePrintDischarge(h, 1, 1, 1, 15), 34) << "the card is out";
}

TEST_F(SimulatedPrinterTest, ThePrintBufferHoldsFourKilobytesUntilCleared)
{
    const int32_t h = OpenUsb();
    const std::string text(TSimulatedPrinter::PrintBufferBytes, 'x');
    EXPECT_EQ(Printer.PrintCharacterDataSetting(h, 0, 0, 0, text.c_str(), int32_t(text.size()), 15), kOk);
    EXPECT_EQ(Printer.PrintCharacterDataSetting(h, 0, 0, 0, "y", 1, 15), 81);
    EXPECT_EQ(Printer.PrintBufferClear(h, 15), kOk);
    EXPECT_EQ(Printer.PrintCharacterDataSetting(h, 0, 0, 0, "y", 1, 15), kOk);
    EXPECT_EQ(Printer.Reset(h, 15), kOk);
    EXPECT_EQ(Printer.PrintCharacterDataSetting(h, 0, 0, 0, text.c_str(), int32_t(text.size()), 15), kOk)
        << "a reset empties the buffer too";
}

TEST_F(SimulatedPrinterTest, TextLengthMustMatchTheText)
{
    const int32_t h = OpenUsb();
    EXPECT_EQ(Printer.PrintCharacterDataSetting(h, 0, 0, 0, "abc", 4, 15), 65);
    EXPECT_EQ(Printer.PrintCharacterDataSetting(h, 0, 0, 0, "abc", -1, 15), 65);
    EXPECT_EQ(Printer.PrintCharacterDataSetting(h, 0, 0, 0, nullptr, 0, 15), 65);
    EXPECT_EQ(Printer.PrintCharacterDataSetting(h, 0, 0, 0, "abc", 2, 15), kOk) << "a prefix of the text";
}

} // namespace
