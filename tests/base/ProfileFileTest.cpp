#include "base/ProfileFile.h"

#include "base/SaveFile.h"
#include "support/TestEnvironment.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>


namespace {

class ProfileFileTest : public ::testing::Test {
protected:
    std::string Path() const { return m_dir.path().toStdString() + "/Option.ini"; }
    std::string Beside(const std::string& name) const { return m_dir.path().toStdString() + "/" + name; }
    void Store(const std::string& bytes) const { WriteFileBytes(Path(), bytes); }

private:
    QTemporaryDir m_dir;
};

TEST_F(ProfileFileTest, ReadsLikeTheProfileFunctions)
{
    Store("[sysoption]\r\n"
          "  password =  se cret  \r\n"
          "Quoted=\"  padded  \"\r\n"
          "Single='x'\r\n"
          "Half=\"x\r\n"
          "Empty=\r\n"
          "noequals line\r\n"
          "[Other]\n"
          "Password=other\n");
    const TProfileFile ini(Path());
    EXPECT_EQ(ini.ReadString("SysOption", "Password", "d"), "se cret");
    EXPECT_EQ(ini.ReadString("SYSOPTION", "quoted", "d"), "  padded  ");
    EXPECT_EQ(ini.ReadString("SysOption", "Single", "d"), "x");
    EXPECT_EQ(ini.ReadString("SysOption", "Half", "d"), "\"x");
    EXPECT_EQ(ini.ReadString("SysOption", "Empty", "d"), "");
    EXPECT_EQ(ini.ReadString("SysOption", "Missing", "d"), "d");
    EXPECT_EQ(ini.ReadString("Missing", "Password", "d"), "d");
    EXPECT_EQ(ini.ReadString("Other", "Password", "d"), "other");
}

TEST_F(ProfileFileTest, LongValuesAreCutTo2047Bytes)
{
    Store("[S]\r\nK=" + std::string(3000, 'v') + "\r\n");
    EXPECT_EQ(TProfileFile(Path()).ReadString("S", "K", "").size(), 2047u);
}

TEST_F(ProfileFileTest, IntegersAndBooleans)
{
    Store("[S]\r\nHex=0x22B3\r\nDollar=$10\r\nNeg=-5\r\nBad=88a3\r\nEmpty=\r\nWord=yes\r\nTwo=2\r\nZero=0\r\n"
          "Huge=99999999999\r\n");
    const TProfileFile ini(Path());
    EXPECT_EQ(ini.ReadInteger("S", "Hex", 1), 8883);
    EXPECT_EQ(ini.ReadInteger("S", "Dollar", 1), 16);
    EXPECT_EQ(ini.ReadInteger("S", "Neg", 1), -5);
    EXPECT_EQ(ini.ReadInteger("S", "Bad", 8883), 8883);
    EXPECT_EQ(ini.ReadInteger("S", "Empty", 7), 7);
    EXPECT_EQ(ini.ReadInteger("S", "Huge", 7), 7);
    EXPECT_TRUE(ini.ReadBool("S", "Word", true));
    EXPECT_FALSE(ini.ReadBool("S", "Word", false));
    EXPECT_TRUE(ini.ReadBool("S", "Two", false));
    EXPECT_FALSE(ini.ReadBool("S", "Zero", true));
}

TEST_F(ProfileFileTest, WritingTouchesOnlyTheKeyWritten)
{
    Store("; hand-written note\n"
          "[SysOption]\n"
          "password=old\n"
          "Unknown=keep me\n"
          "\n"
          "[MemberOption]\n"
          "Adtext=a|b\n");
    TProfileFile ini(Path());
    ini.WriteString("SysOption", "Password", "new");
    ini.WriteInteger("SysOption", "MemberPortNo", -8883);
    ini.WriteBool("DoorlockOption", "AutoReadDoorCard", true);
    ini.UpdateFile();
    EXPECT_EQ(ReadFileBytes(Path()),
        "; hand-written note\r\n"
        "[SysOption]\r\n"
        "Password=new\r\n"
        "Unknown=keep me\r\n"
        "MemberPortNo=-8883\r\n"
        "\r\n"
        "[MemberOption]\r\n"
        "Adtext=a|b\r\n"
        "[DoorlockOption]\r\n"
        "AutoReadDoorCard=1\r\n");
}

TEST_F(ProfileFileTest, SaveCreatesAMissingFile)
{
    TProfileFile ini(Path());
    ini.WriteString("S", "K", "v");
    ini.UpdateFile();
    EXPECT_EQ(ReadFileBytes(Path()), "[S]\r\nK=v\r\n");
}

TEST_F(ProfileFileTest, FailedSaveRaisesAndLeavesTheOldFile)
{
    const std::string bad = Path() + ".d/Option.ini";
    TProfileFile ini(bad);
    ini.WriteString("S", "K", "v");
    try {
        ini.UpdateFile();
        FAIL() << "expected EWriteError";
    } catch (const EWriteError& error) {
        EXPECT_EQ(std::string(error.what()), "Unable to write to " + bad);
    }

    // A directory standing where the file should be cannot be replaced.
    QTemporaryDir dir;
    const std::string asDir = dir.path().toStdString();
    TProfileFile onDir(asDir);
    onDir.WriteString("S", "K", "v");
    EXPECT_THROW(onDir.UpdateFile(), EWriteError);
}

TEST_F(ProfileFileTest, TempFilesOfInterruptedSavesAreRemovedAndNothingElse)
{
    const std::vector<std::string> kept { "Option.ini", "Option.ini.bak", "Option.ini.abc", "Option.ini.abcdefg",
        "Option.ini.ab-def", "Other.ini.aB3dE9" };
    for (const std::string& name : kept) {
        WriteFileBytes(Beside(name), "x");
    }
    WriteFileBytes(Beside("Option.ini.aB3dE9"), "[S]\r\nK=half");
    // A save of another program in the same folder, still writing.
    TSaveFile held(Path());
    ASSERT_TRUE(held.Valid());

    EXPECT_EQ(RemoveInterruptedSaves(Path()), 1);
    ASSERT_TRUE(held.Write("[S]\r\nK=held\r\n"));
    ASSERT_TRUE(held.Commit(0644));
    EXPECT_EQ(ReadFileBytes(Path()), "[S]\r\nK=held\r\n");
    EXPECT_FALSE(QFile::exists(QString::fromStdString(Beside("Option.ini.aB3dE9"))));
    for (const std::string& name : kept) {
        EXPECT_TRUE(QFile::exists(QString::fromStdString(Beside(name)))) << name;
    }
    // A save that ends normally leaves no temporary file behind.
    TProfileFile ini(Path());
    ini.WriteString("S", "K", "v");
    ini.UpdateFile();
    EXPECT_EQ(RemoveInterruptedSaves(Path()), 0);
}

} // namespace
