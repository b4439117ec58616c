#include "base/ProfileFile.h"
#include "config/SysOptionUnit.h"

#include "support/TestEnvironment.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

class SysOptionTest : public ::testing::Test {
protected:
    std::string Path() const { return m_dir.path().toStdString() + "/Option.ini"; }

    TSysOption Loaded(const std::string& fileBytes) const
    {
        WriteFileBytes(Path(), fileBytes);
        TSysOption option(Path());
        option.Load();
        return option;
    }

private:
    QTemporaryDir m_dir;
};

TEST_F(SysOptionTest, DefaultsWithoutAFileAndNoFileCreated)
{
    TSysOption option(Path());
    option.Load();
    EXPECT_EQ(option.Password, "qirtal");
    EXPECT_EQ(option.MemberPortNo, 8883);
    EXPECT_EQ(option.DoorlockPortNo, 8886);
    EXPECT_EQ(option.HandPortNo, 8886);
    EXPECT_EQ(option.PolicePortNo, 8885);
    EXPECT_EQ(option.ScanPortNo, 8881);
    EXPECT_TRUE(option.WriteLog);
    EXPECT_EQ(option.PmsServer, "127.0.0.1");
    EXPECT_EQ(option.PmsServerPort, 9873);
    EXPECT_FALSE(QFile::exists(QString::fromStdString(Path())));
}

TEST_F(SysOptionTest, ValueRules)
{
    EXPECT_EQ(Loaded("[SysOption]\r\nMemberPortNo=0x22B8\r\n").MemberPortNo, 8888);
    EXPECT_EQ(Loaded("[SysOption]\r\nMemberPortNo=88a3\r\n").MemberPortNo, 8883);
    EXPECT_FALSE(Loaded("[SysOption]\r\nWriteLog=0\r\n").WriteLog);
    EXPECT_TRUE(Loaded("[SysOption]\r\nWriteLog=2\r\n").WriteLog);
    EXPECT_TRUE(Loaded("[SysOption]\r\nWriteLog=off\r\n").WriteLog);
    EXPECT_EQ(Loaded("[SysOption]\r\nPassword=\r\n").Password, "");
}

TEST_F(SysOptionTest, SaveWritesAllFourteenKeysAndKeepsMemberOption)
{
    const std::string member = "[MemberOption]\r\nPortName=COM3\r\nAdtext=\xBB\xB6\xD3\xAD|x\r\n";
    TSysOption option = Loaded("[SysOption]\r\nWriteLog=0\r\n" + member);
    option.Password = "\xD0\xC2";
    option.Save();

    const std::string bytes = ReadFileBytes(Path());
    EXPECT_NE(bytes.find(member), std::string::npos);
    const TProfileFile ini(Path());
    EXPECT_EQ(ini.ReadString("SysOption", "Password", ""), "\xD0\xC2");
    EXPECT_EQ(ini.ReadString("SysOption", "WriteLog", ""), "0");
    const char* sysKeys[] = {"DoorlockPortNo", "HandPortNo", "PolicePortNo", "MemberPortNo", "ScanPortNo"};
    for (const char* key : sysKeys) {
        EXPECT_NE(ini.ReadString("SysOption", key, "missing"), "missing") << key;
    }
    const char* doorKeys[] = {"DelayMinutes", "DelayMinutes2", "UseNativeDoorlockDb", "SaveDoorlockRecord",
        "AutoReadDoorCard", "PmsServer", "PmsServerPort"};
    for (const char* key : doorKeys) {
        EXPECT_NE(ini.ReadString("DoorlockOption", key, "missing"), "missing") << key;
    }

    TSysOption again(Path());
    again.Load();
    EXPECT_EQ(again.Password, "\xD0\xC2");
    EXPECT_FALSE(again.WriteLog);
    EXPECT_EQ(again.PmsServer, "127.0.0.1");
}

TEST_F(SysOptionTest, FailedSaveNamesTheFile)
{
    TSysOption option(Path() + ".missing/Option.ini");
    EXPECT_THROW(option.Save(), EWriteError);
}

} // namespace
