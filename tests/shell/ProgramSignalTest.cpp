#include "base/TextCodec.h"
#include "support/FreePort.h"
#include "support/LoopbackClient.h"
#include "support/RunningProgram.h"
#include "support/TestEnvironment.h"

#include <gtest/gtest.h>

namespace {

TEST(ProgramSignalTest, SigtermAndSigintEndTheProgramInOrderWithExitCodeZero)
{
    for (const EEndRequest request : EndRequests()) {
        SCOPED_TRACE(EndRequestName(request));
        const uint16_t port = FreePort();
        TRunningProgram program(port);
        ASSERT_TRUE(program.Start());
        ASSERT_TRUE(program.Answers());

        ASSERT_TRUE(program.EndsOn(request));
        EXPECT_EQ(program.Process().exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(program.Process().exitCode(), 0);
        EXPECT_FALSE(Exchange(port, ReadRequest()).Connected);
        const std::vector<std::string> log = LogEntries(program.Log());
        // The port is closed after the listener has stopped, so after the
        // last request's entries.
        ASSERT_GE(log.size(), 2u);
        EXPECT_EQ(log[log.size() - 2], Gbk("读卡失败"));
        EXPECT_EQ(log.back(), Gbk("串口关闭失败."));
    }
}

} // namespace
