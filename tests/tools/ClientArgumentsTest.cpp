#include "ClientArguments.h"

#include <gtest/gtest.h>

namespace {

using TArgs = std::vector<std::string>;

TEST(ClientArgumentsTest, OptionsGoBeforeOrAfterTheCommandInEitherForm)
{
    for (const TArgs& args : {
             TArgs {"write", "--card-no", "7", "--port", "9000"},
             TArgs {"--port=9000", "write", "--card-no=7"},
             TArgs {"--port", "9000", "write", "--card-no", "7"},
         }) {
        const TClientArguments parsed = ParseClientArguments(args);
        EXPECT_EQ(parsed.Command, TClientCommand::Write);
        EXPECT_EQ(parsed.CardNo, "7");
        EXPECT_EQ(parsed.Port, 9000);
        EXPECT_EQ(parsed.Host, "127.0.0.1");
        EXPECT_DOUBLE_EQ(parsed.TimeoutSeconds, 30);
    }
}

TEST(ClientArgumentsTest, WriteTakesEveryFieldAndValuesThatLookLikeOptions)
{
    const TClientArguments parsed = ParseClientArguments({"write", "--card-no", "  001", "--expire-date", "2030-01-01",
        "--guest-name", "张三 ", "--score", "-5", "--channel", "$B", "--host", "localhost", "--timeout", "0.5"});
    EXPECT_EQ(parsed.CardNo, "  001");
    EXPECT_EQ(parsed.ExpireDate, "2030-01-01");
    EXPECT_EQ(parsed.GuestName, "张三 ");
    EXPECT_EQ(parsed.Score, "-5");
    EXPECT_EQ(parsed.Channel, "$B");
    EXPECT_EQ(parsed.Host, "localhost");
    EXPECT_DOUBLE_EQ(parsed.TimeoutSeconds, 0.5);
}

TEST(ClientArgumentsTest, ReadPrintAndRaw)
{
    const TClientArguments read = ParseClientArguments({"read", "--input-password", "--xml"});
    EXPECT_EQ(read.Command, TClientCommand::Read);
    EXPECT_TRUE(read.InputPassword);
    EXPECT_TRUE(read.Xml);
    EXPECT_FALSE(read.Channel);

    const TClientArguments print = ParseClientArguments({"print", "--card-no", "1"});
    EXPECT_FALSE(print.Content) << "no Content element unless asked for";

    EXPECT_EQ(ParseClientArguments({"raw", "-"}).RawFile, "-");
    EXPECT_EQ(ParseClientArguments({"raw", "--", "--odd-name"}).RawFile, "--odd-name");
    EXPECT_EQ(ParseClientArguments({"write", "--card-no", "1", "--guest-name", "\xD5\xC5"}).GuestName, "\xD5\xC5")
        << "bytes that are no UTF-8 reach the request builder as they are, for it to name the option";
}

TEST(ClientArgumentsTest, HelpAndVersionWinOverEverythingElse)
{
    for (const TArgs& args : {TArgs {"--help"}, TArgs {"-h"}, TArgs {"write", "--help"}, TArgs {"print", "-h"},
             TArgs {"erase", "--help"}, TArgs {"--version", "--help"}}) {
        EXPECT_EQ(ParseClientArguments(args).Command, TClientCommand::Help) << testing::PrintToString(args);
    }
    for (const TArgs& args :
        {TArgs {"--version"}, TArgs {"write", "--version"}, TArgs {"raw", "a", "b", "--version"}}) {
        EXPECT_EQ(ParseClientArguments(args).Command, TClientCommand::Version) << testing::PrintToString(args);
    }
}

TEST(ClientArgumentsTest, MistakesAreUsageErrorsThatNameTheProblem)
{
    const struct {
        TArgs Args;
        const char* Expected;
    } cases[] = {
        {{}, "no command given"},
        {{"--port", "9"}, "no command given"},
        {{"erase"}, "unknown command 'erase'"},
        {{"read", "--bogus"}, "Unknown option 'bogus'"},
        {{"read", "-x"}, "Unknown option 'x'"},
        {{"write", "--card-no"}, "Missing value after '--card-no'"},
        {{"read", "--xml=1"}, "Unexpected value after '--xml'"},
        {{"write"}, "'write' needs --card-no"},
        {{"print", "--content", "x"}, "'print' needs --card-no"},
        {{"read", "--card-no", "1"}, "option '--card-no' does not apply to 'read'"},
        {{"print", "--card-no", "1", "--channel", "11"}, "option '--channel' does not apply to 'print'"},
        {{"write", "--card-no", "1", "--input-password"}, "option '--input-password' does not apply to 'write'"},
        {{"raw"}, "'raw' needs a file name, or - for standard input"},
        {{"raw", "a", "b"}, "'raw' takes one file, not 2"},
        {{"read", "extra"}, "unexpected argument 'extra'"},
        {{"read", "--port", "0"}, "invalid port '0'"},
        {{"read", "--port", "65536"}, "invalid port '65536'"},
        {{"read", "--port", "80x"}, "invalid port '80x'"},
        {{"read", "--timeout", "0"}, "invalid time-out '0'"},
        {{"read", "--timeout", "-1"}, "invalid time-out '-1'"},
        {{"read", "--timeout", "inf"}, "invalid time-out 'inf'"},
        {{"read", "--host="}, "the host must not be empty"},
        {{"read", "--channel", "11 "}, "invalid channel '11 '"},
        {{"read", "--channel", ""}, "invalid channel ''"},
        {{"read", "--channel", "4294967296"}, "invalid channel '4294967296'"},
    };
    for (const auto& c : cases) {
        try {
            ParseClientArguments(c.Args);
            ADD_FAILURE() << "accepted: " << testing::PrintToString(c.Args);
        } catch (const EUsageError& error) {
            EXPECT_TRUE(std::string(error.what()).starts_with(c.Expected)) << error.what();
        }
    }
}

TEST(ClientArgumentsTest, ContentEscapesBecomeLineBreaks)
{
    const struct {
        const char* Typed;
        const char* Text;
    } cases[] = {
        {R"(a\nb)", "a\nb"},
        {R"(a\r\nb)", "a\r\nb"},
        {R"(a\\nb)", "a\\nb"},
        {R"(C:\temp)", "C:\\temp"},
        {R"(end\)", "end\\"},
        {"real\nbreak", "real\nbreak"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(UnescapeContent(c.Typed), c.Text) << c.Typed;
    }
    EXPECT_EQ(ParseClientArguments({"print", "--card-no", "1", "--content", R"(x\ny)"}).Content, "x\ny");
}

} // namespace
