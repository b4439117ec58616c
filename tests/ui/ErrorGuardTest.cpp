#include "base/TextCodec.h"
#include "ui/ErrorGuard.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

TEST(ErrorGuardTest, FullStopIsAppendedOnlyAfterCharactersThatSortAfterIt)
{
    const struct {
        const char* message;
        const char* shown;
    } cases[] = {
        { "Terminate Thread Timeout", "Terminate Thread Timeout." },
        { "Could not bind socket. Address and port are already in use.",
            "Could not bind socket. Address and port are already in use." },
        { "code 42", "code 42." },
        { "path/", "path/." },
        { "无法写入", "无法写入." },
        { "Stop!", "Stop!" },
        { "(see above)", "(see above)" },
        { "trailing ", "trailing " },
        { "", "" },
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ErrorBoxText(QString::fromUtf8(c.message)), QString::fromUtf8(c.shown)) << c.message;
    }
}

TEST(ErrorGuardTest, MessagesAreReadAsUtf8OrElseAsGbk)
{
    EXPECT_EQ(ErrorMessage(std::runtime_error("Unable to write to /tmp/目录/Option.ini")),
        QString::fromUtf8("Unable to write to /tmp/目录/Option.ini"));
    EXPECT_EQ(ErrorMessage(std::runtime_error(Gbk("设备未就绪"))), QString::fromUtf8("设备未就绪"));
}

} // namespace
