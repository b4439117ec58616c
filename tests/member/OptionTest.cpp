#include "member/OptionUnit.h"

#include "base/ProfileFile.h"
#include "support/TestEnvironment.h"

#include <gtest/gtest.h>

namespace {

class OptionTest : public TProcessObjectsTest { };

TEST_F(OptionTest, WithoutFileEveryKeyHasItsDefault)
{
    TOption option(OptionPath());
    option.Load();
    EXPECT_EQ(option.FileName, OptionPath());
    EXPECT_EQ(option.BlockNo, 1);
    EXPECT_EQ(option.PortName, "USB");
    EXPECT_EQ(option.Bandrate, 9600);
    EXPECT_EQ(option.PrintMode, 0);
    EXPECT_EQ(option.Adtext, "");
    EXPECT_EQ(option.YState, 350);
    EXPECT_EQ(option.Rowlen, 24);
    EXPECT_EQ(ReadFileBytes(OptionPath()), "") << "loading creates no file";
}

TEST_F(OptionTest, LoadReadsTheMemberSectionAndFallsBackPerKey)
{
    WriteFileBytes(OptionPath(),
        "[SysOption]\r\nBlockNo=9\r\n"
        "[MemberOption]\r\nblockno=3\r\nPortName=COM2\r\nBandrate=19x\r\nPrintMode=$10\r\n"
        "Adtext=a|b|\r\nYState= -12 \r\nRowlen=\r\n");
    TOption option(OptionPath());
    option.Load();
    EXPECT_EQ(option.BlockNo, 3);
    EXPECT_EQ(option.PortName, "COM2");
    EXPECT_EQ(option.Bandrate, 9600) << "an unreadable number gives the default";
    EXPECT_EQ(option.PrintMode, 16);
    EXPECT_EQ(option.Adtext, "a|b|");
    EXPECT_EQ(option.YState, -12);
    EXPECT_EQ(option.Rowlen, 24);
}

TEST_F(OptionTest, IntegersFollowTheFilesRuleNotTheProtocols)
{
    // "x10" is a number to the request protocol but not to the options file:
    // the line width stays at its default instead of becoming 16.
    const struct {
        const char* value;
        int32_t rowlen;
    } cases[] = {{"x10", 24}, {"0x10", 16}, {"$10", 16}, {"-0x10", 24}, {"+16", 16}};
    for (const auto& c : cases) {
        WriteFileBytes(OptionPath(), std::string("[MemberOption]\r\nRowlen=") + c.value + "\r\n");
        TOption option(OptionPath());
        option.Load();
        EXPECT_EQ(option.Rowlen, c.rowlen) << c.value;
    }
}

TEST_F(OptionTest, SaveWritesTheSevenKeysAndKeepsEverythingElse)
{
    WriteFileBytes(OptionPath(), "[SysOption]\r\nPassword=x\r\n[MemberOption]\r\nExtra=1\r\nRowlen=10\r\n");
    TOption option(OptionPath());
    option.Load();
    option.PortName = "COM4";
    option.Adtext = "one| two";
    option.Save();
    EXPECT_EQ(ReadFileBytes(OptionPath()),
        "[SysOption]\r\nPassword=x\r\n[MemberOption]\r\nExtra=1\r\nRowlen=10\r\nBlockNo=1\r\nPortName=COM4\r\n"
        "Bandrate=9600\r\nPrintMode=0\r\nAdtext=one| two\r\nYState=350\r\n");

    TOption again(OptionPath());
    again.Load();
    EXPECT_EQ(again.Adtext, "one| two");
    EXPECT_EQ(again.Rowlen, 10);
}

TEST_F(OptionTest, FailedSaveNamesTheFile)
{
    const std::string path = Dir() + "missing/Option.ini";
    TOption option(path);
    try {
        option.Save();
        FAIL() << "Save wrote into a folder that does not exist";
    } catch (const EWriteError& error) {
        EXPECT_EQ(std::string(error.what()), "Unable to write to " + path);
    }
}

TEST(OptionPortNumberTest, MapsPortNamesToTheLibrarysNumbers)
{
    struct TCase {
        std::string name;
        int32_t number;
    };
    const TCase cases[] = {
        {"USB", 100},
        {"usb", 0},
        {"Usb", 0},
        {"", 0},
        {"COM1", 1},
        {"com16", 16},
        {"COM99", 99},
        {"COM100", 0},
        {"COM0", 0},
        {"COM", 0},
        {"COM 1", 0},
        {"COM+1", 0},
        {"COM1 ", 0},
        {"/dev/ttyS0", 1},
        {"/dev/ttyS15", 16},
        {"/dev/ttyS98", 99},
        {"/dev/ttyS99", 0},
        {"/dev/ttyUSB0", 1},
        {"/dev/ttyUSB3", 4},
        {"/dev/ttyUSB", 0},
        {"ttyS0", 0},
        {"/dev/ttyACM0", 0},
    };
    for (const TCase& c : cases) {
        TOption option("");
        option.PortName = c.name;
        EXPECT_EQ(option.PortNumber(), c.number) << c.name;
    }
}

} // namespace
