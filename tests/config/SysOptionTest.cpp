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
    EXPECT_EQ(option.LogKeepDays, 0);
    EXPECT_TRUE(option.IsolatePrinterLibrary);
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
    EXPECT_EQ(Loaded("[SysOption]\r\nLogKeepDays=30\r\n").LogKeepDays, 30);
    EXPECT_EQ(Loaded("[SysOption]\r\nLogKeepDays=x1E\r\n").LogKeepDays, 0);
    EXPECT_FALSE(Loaded("[SysOption]\r\nIsolatePrinterLibrary=0\r\n").IsolatePrinterLibrary);
}

TEST_F(SysOptionTest, SaveWritesAllKeysInOrderAndKeepsMemberOption)
{
    const std::string member = "[MemberOption]\r\nPortName=COM3\r\nAdtext=\xBB\xB6\xD3\xAD|x\r\n";
    TSysOption option = Loaded("[SysOption]\r\nWriteLog=0\r\n" + member);
    option.Password = "\xD0\xC2";
    option.Save();

    // Keys already in the file keep their lines; new ones follow the last
    // key of their section, in the table's order.
    EXPECT_EQ(ReadFileBytes(Path()),
        "[SysOption]\r\nWriteLog=0\r\nPassword=\xD0\xC2\r\nDoorlockPortNo=8886\r\nHandPortNo=8886\r\n"
        "PolicePortNo=8885\r\nMemberPortNo=8883\r\nScanPortNo=8881\r\nLogKeepDays=0\r\n"
        "LogMaxMB=1024\r\nRequestTimeoutSec=120\r\nQueueTimeoutSec=0\r\nIsolatePrinterLibrary=1\r\n"
          "WineComPorts=\r\n"
            + member
            + "[DoorlockOption]\r\nDelayMinutes=0\r\nDelayMinutes2=0\r\nUseNativeDoorlockDb=0\r\n"
              "SaveDoorlockRecord=0\r\nAutoReadDoorCard=0\r\nPmsServer=127.0.0.1\r\nPmsServerPort=9873\r\n");

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
