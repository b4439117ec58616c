#include "listener/RequestLineReader.h"

#include <gtest/gtest.h>

namespace {

using TStatus = TRequestLineReader::TStatus;

TEST(RequestLineReaderTest, LineEndsAtTheFirstZeroByteAndKeepsCrLf)
{
    TRequestLineReader reader;
    EXPECT_EQ(reader.Feed("<a/>\r"), TStatus::NeedMore);
    EXPECT_EQ(reader.Feed(std::string_view("\n\0second\0", 10)), TStatus::Complete);
    EXPECT_EQ(reader.TakeLine(), "<a/>\r\n");
}

TEST(RequestLineReaderTest, BoundaryOfTheLongestLine)
{
    TRequestLineReader served;
    EXPECT_EQ(served.Feed(std::string(16384, 'x') + '\0'), TStatus::Complete);
    EXPECT_EQ(served.TakeLine().size(), 16384u);

    TRequestLineReader tooLong;
    EXPECT_EQ(tooLong.Feed(std::string(16385, 'x') + '\0'), TStatus::TooLong);

    TRequestLineReader noZero;
    EXPECT_EQ(noZero.Feed(std::string(16384, 'x')), TStatus::NeedMore);
    EXPECT_EQ(noZero.Feed("x"), TStatus::TooLong);
}

TEST(RequestLineReaderTest, EmptyLineAndReceivedBytes)
{
    TRequestLineReader reader;
    EXPECT_FALSE(reader.ReceivedAny());
    EXPECT_EQ(reader.Feed(std::string_view("\0", 1)), TStatus::Complete);
    EXPECT_TRUE(reader.ReceivedAny());
    EXPECT_EQ(reader.TakeLine(), "");
}

} // namespace
