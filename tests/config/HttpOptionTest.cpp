#include "config/HttpOption.h"

#include "support/TestEnvironment.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

class HttpOptionTest : public ::testing::Test {
protected:
    THttpOption Loaded(const std::string& fileBytes) const
    {
        const std::string path = m_dir.path().toStdString() + "/Option.ini";
        WriteFileBytes(path, fileBytes);
        THttpOption option(path);
        option.Load();
        return option;
    }

private:
    QTemporaryDir m_dir;
};

TEST_F(HttpOptionTest, DefaultsKeepTheApiOff)
{
    const THttpOption option = Loaded("[SysOption]\r\nMemberPortNo=9000\r\n");
    EXPECT_FALSE(option.Enabled);
    EXPECT_EQ(option.Port, 8884);
    EXPECT_EQ(option.BindAddress, "127.0.0.1");
    EXPECT_EQ(option.AllowedOrigins, "");
    EXPECT_EQ(option.Token, "");
    EXPECT_EQ(option.IdempotencyKeySec, 86400);
}

TEST_F(HttpOptionTest, ValuesFollowTheFileRules)
{
    const THttpOption option
        = Loaded("[httpoption]\r\nenabled=1\r\nPort=0x22C4\r\nBindAddress = 0.0.0.0 \r\n"
                 "AllowedOrigins=https://pms.example.com, http://127.0.0.1:9000\r\nToken=k9-Zq_7\r\n");
    EXPECT_TRUE(option.Enabled);
    EXPECT_EQ(option.Port, 8900);
    EXPECT_EQ(option.BindAddress, "0.0.0.0");
    EXPECT_EQ(option.AllowedOrigins, "https://pms.example.com, http://127.0.0.1:9000");
    EXPECT_EQ(option.Token, "k9-Zq_7");
    EXPECT_EQ(Loaded("[HttpOption]\r\nPort=88a4\r\nEnabled=yes\r\n").Port, 8884);
    EXPECT_FALSE(Loaded("[HttpOption]\r\nEnabled=yes\r\n").Enabled);
}

} // namespace
