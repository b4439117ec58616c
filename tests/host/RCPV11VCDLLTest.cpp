#include "host/RCPV11VCDLL.h"

#include "base/TextCodec.h"
#include "member/TRWGII2010DMemberUnit.h"
#include "support/TestEnvironment.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>

using ::testing::ElementsAre;
using ::testing::HasSubstr;

namespace {

// Every card and print call of the library, with harmless arguments.
std::vector<std::pair<std::string, std::function<int32_t(TCardPrinterLibrary&)>>> CardCalls()
{
    static char buffer[64];
    return {
        {"Reset", [](TCardPrinterLibrary& l) { return l.Reset(0, 15); }},
        {"CardInOver", [](TCardPrinterLibrary& l) { return l.CardInOver(0, 15); }},
        {"Dischange", [](TCardPrinterLibrary& l) { return l.Dischange(0, 1, 15); }},
        {"Write", [](TCardPrinterLibrary& l) { return l.RfidCardRequestAndWriteData(0, 1, 0, "k", "1", 15); }},
        {"Read", [](TCardPrinterLibrary& l) { return l.RfidCardRequestAndReadData(0, 1, 0, "k", buffer, 15); }},
        {"PrintBufferClear", [](TCardPrinterLibrary& l) { return l.PrintBufferClear(0, 15); }},
        {"PrintCharacterDataSetting", [](TCardPrinterLibrary& l) { return l.PrintCharacterDataSetting(0, 0, 0, 23, "", 0, 15); }},
        {"ErasePrintDischarge", [](TCardPrinterLibrary& l) { return l.ErasePrintDischarge(0, 1, 1, 1, 15); }},
    };
}

void ExpectUnusable(TRCPV11Library& library)
{
    EXPECT_FALSE(library.Loaded());
    EXPECT_EQ(library.CommOpen(100, 0), 0);
    EXPECT_EQ(library.CommClose(5), 0);
    for (const auto& [name, call] : CardCalls()) {
        EXPECT_EQ(call(library), 1) << name;
    }
}

TEST(RCPV11LibraryTest, MissingLibraryAnswersLikeAnEmptyPortHandle)
{
    TRCPV11Library library("/nonexistent/" + std::string(TRCPV11Library::FileName));
    EXPECT_THAT(library.LoadError(), HasSubstr("/nonexistent/" + std::string(TRCPV11Library::FileName)));
    ExpectUnusable(library);
}

TEST(RCPV11LibraryTest, LibraryMissingAFunctionIsNotUsedAtAll)
{
    TRCPV11Library library(PARTIAL_PRINTER_LIBRARY);
    EXPECT_EQ(library.LoadError(), "missing function CommClose");
    // Its CommOpen would give 5; half a library must not open the port.
    ExpectUnusable(library);
}

class DriverWithoutLibraryTest : public TProcessObjectsTest { };

TEST_F(DriverWithoutLibraryTest, EveryOperationFailsWithItsLogLine)
{
    TRCPV11Library library("/nonexistent/lib.so");
    TTRWGII2010DMember device(library);
    EXPECT_FALSE(device.OpenPort());
    EXPECT_FALSE(device.WriteCard("1", "", "", "", -1));
    std::string cardNo, password, expire, name, score;
    EXPECT_FALSE(device.ReadCard(false, cardNo, password, expire, name, score, -1));
    EXPECT_FALSE(device.PrintCard("1", "X"));
    EXPECT_FALSE(device.ResetDevice());
    EXPECT_FALSE(device.ClosePort());

    std::vector<std::string> lines;
    for (const std::string& entry : Log()) {
        lines.push_back(TextCodec::GbkToUtf8(entry));
    }
    EXPECT_THAT(lines,
        ElementsAre("打开串口失败.",
            // The loader's own words differ by platform.
            ::testing::StartsWith("打印机库未加载: "),
            "进卡失败:串口句柄为空", "出卡失败:串口句柄为空", "进卡失败:串口句柄为空",
            "出卡失败:串口句柄为空", "进卡失败:串口句柄为空", "出卡失败:串口句柄为空", "复位失败.", "串口关闭失败."));
}

} // namespace
