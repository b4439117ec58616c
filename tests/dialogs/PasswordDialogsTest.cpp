#include "base/TextCodec.h"
#include "dialogs/ChangePasswordFormUnit.h"
#include "dialogs/CheckPasswordFormUnit.h"
#include "config/SysOptionUnit.h"
#include "support/FileSizeLimit.h"
#include "support/ModalDriver.h"
#include "support/TestEnvironment.h"
#include "ui/ErrorGuard.h"

#include <QApplication>
#include <QLineEdit>
#include <QMessageBox>
#include <QTest>


namespace {

const QString kPrompt = QString::fromUtf8("请输入管理员密码");
const QString kChange = QString::fromUtf8("更改管理员密码");
const QString kNotice = QString::fromUtf8("提示");

TModalDriver::TAction TypeAndEnter(const QString& password)
{
    return [password](QWidget* dialog) {
        TypeInto(dialog, "edtPswd", password);
        QTest::keyClick(Child(dialog, "edtPswd"), Qt::Key_Return);
    };
}

// Types the entry and presses Enter; a refused entry gets its box
// acknowledged and the prompt cancelled.
bool PromptWith(const QString& typed)
{
    TModalDriver driver;
    TBoxSeen refused;
    driver.Expect(kPrompt, TypeAndEnter(typed));
    driver.Expect(kNotice, Acknowledge(refused));
    driver.Expect(kPrompt, [](QWidget* dialog) { Click(dialog, "btnCancel"); });
    const bool accepted = CheckAdminPassword(nullptr);
    EXPECT_FALSE(driver.TimedOut());
    return accepted;
}

// Fills both fields, presses Enter and acknowledges the box that follows.
TBoxSeen ChangeTo(const QString& password, const QString& confirmation)
{
    TModalDriver driver;
    TBoxSeen seen;
    driver.Expect(kChange, [&](QWidget* dialog) {
        TypeInto(dialog, "edtPswd", password);
        TypeInto(dialog, "edtConfirmPswd", confirmation);
        QTest::keyClick(Child(dialog, "edtConfirmPswd"), Qt::Key_Return);
    });
    driver.Expect(kNotice, Acknowledge(seen));
    ChangeAdminPassword(nullptr);
    EXPECT_TRUE(driver.Done());
    return seen;
}

class PasswordDialogsTest : public TProcessObjectsTest { };

TEST_F(PasswordDialogsTest, PromptComparesTheTrimmedEntryWithTheStoredPasswordByteForByte)
{
    struct TCase {
        const char* stored;
        const char* typed;
        bool accepted;
    };
    const TCase cases[] = {
        { "qirtal", "qirtal", true },
        { "qirtal", "  qirtal\t ", true },
        { "qirtal", "QIRTAL", false },
        { "qirtal", "ｑｉｒｔａｌ", false },
        { "qirtal", "qirta", false },
        { "qirtal", "", false },
        { "密码", " 密码", true },
        { "", "", true },
        { "", "   ", true },
        { "", "x", false },
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(std::string(c.stored) + " <- '" + c.typed + "'");
        SysOption->Password = Gbk(c.stored);
        EXPECT_EQ(PromptWith(QString::fromUtf8(c.typed)), c.accepted);
    }
}

TEST_F(PasswordDialogsTest, WrongEntryIsReportedAndStaysInTheFieldWithTheFocus)
{
    TModalDriver driver;
    TBoxSeen refused;
    QString keptEntry;
    bool focusInField = false;
    driver.Expect(kPrompt, TypeAndEnter(QStringLiteral("wrong")));
    driver.Expect(kNotice, Acknowledge(refused));
    driver.Expect(kPrompt, [&](QWidget* dialog) {
        auto* field = qobject_cast<QLineEdit*>(Child(dialog, "edtPswd"));
        keptEntry = field->text();
        focusInField = dialog->focusWidget() == field;
        Click(dialog, "btnCancel");
    });

    EXPECT_FALSE(CheckAdminPassword(nullptr));
    EXPECT_TRUE(driver.Done());
    EXPECT_EQ(refused.caption, kNotice);
    EXPECT_EQ(refused.text, QString::fromUtf8("密码错误 ！"));
    EXPECT_EQ(refused.icon, QMessageBox::Critical);
    EXPECT_EQ(keptEntry, QStringLiteral("wrong"));
    EXPECT_TRUE(focusInField);
}

TEST_F(PasswordDialogsTest, PromptRefusedByEscapeOrCloseBoxEvenWithTheRightEntry)
{
    for (const bool escape : { true, false }) {
        TModalDriver driver;
        driver.Expect(kPrompt, [escape](QWidget* dialog) {
            TypeInto(dialog, "edtPswd", QStringLiteral("qirtal"));
            if (escape) {
                QTest::keyClick(dialog, Qt::Key_Escape);
            } else {
                dialog->close();
            }
        });
        EXPECT_FALSE(CheckAdminPassword(nullptr));
        EXPECT_TRUE(driver.Done());
    }
}

TEST_F(PasswordDialogsTest, MismatchIsReportedAndNothingIsStored)
{
    TModalDriver driver;
    TBoxSeen mismatch;
    QString first;
    QString second;
    driver.Expect(kChange, [](QWidget* dialog) {
        TypeInto(dialog, "edtPswd", QStringLiteral("abc"));
        TypeInto(dialog, "edtConfirmPswd", QStringLiteral("abd"));
        Click(dialog, "btnOK");
    });
    driver.Expect(kNotice, Acknowledge(mismatch));
    driver.Expect(kChange, [&](QWidget* dialog) {
        first = qobject_cast<QLineEdit*>(Child(dialog, "edtPswd"))->text();
        second = qobject_cast<QLineEdit*>(Child(dialog, "edtConfirmPswd"))->text();
        Click(dialog, "btnCancel");
    });

    ChangeAdminPassword(nullptr);
    EXPECT_TRUE(driver.Done());
    EXPECT_EQ(mismatch.text, QString::fromUtf8("您两次输入的密码不一致，请重新输入！"));
    EXPECT_EQ(mismatch.icon, QMessageBox::Critical);
    EXPECT_EQ(first, QStringLiteral("abc"));
    EXPECT_EQ(second, QStringLiteral("abd"));
    EXPECT_EQ(SysOption->Password, "qirtal");
    EXPECT_EQ(ReadFileBytes(OptionPath()), "");
}

TEST_F(PasswordDialogsTest, ChangedPasswordIsSavedAndTheOldOneNoLongerOpensThePrompt)
{
    WriteFileBytes(OptionPath(), "[MemberOption]\r\nCardBlock=4\r\n");
    const TBoxSeen done = ChangeTo(QStringLiteral(" 新pw "), QString::fromUtf8("新pw"));

    EXPECT_EQ(done.text, QString::fromUtf8("管理员密码更改成功！"));
    EXPECT_EQ(done.icon, QMessageBox::Information);
    EXPECT_EQ(SysOption->Password, Gbk("新pw"));
    const std::string file = ReadFileBytes(OptionPath());
    EXPECT_NE(file.find("[MemberOption]\r\nCardBlock=4\r\n"), std::string::npos);
    EXPECT_NE(file.find("Password=" + Gbk("新pw") + "\r\n"), std::string::npos);
    EXPECT_FALSE(PromptWith(QStringLiteral("qirtal")));
    EXPECT_TRUE(PromptWith(QString::fromUtf8("新pw")));
}

TEST_F(PasswordDialogsTest, BlankNewPasswordIsStoredEmptyAndThenAcceptsAnEmptyEntry)
{
    const TBoxSeen done = ChangeTo(QStringLiteral("   "), QString());

    EXPECT_EQ(done.icon, QMessageBox::Information);
    EXPECT_EQ(SysOption->Password, "");
    EXPECT_NE(ReadFileBytes(OptionPath()).find("Password=\r\n"), std::string::npos);
    EXPECT_TRUE(PromptWith(QString()));
    EXPECT_FALSE(PromptWith(QStringLiteral("qirtal")));
}

TEST_F(PasswordDialogsTest, FailedSaveIsReportedAndLeavesFileAndPasswordAsTheyWere)
{
    if (!TFileSizeLimit::Supported()) {
        GTEST_SKIP() << kNoFileSizeLimit;
    }
    const std::string before = "[SysOption]\r\nPassword=qirtal\r\nMemberPortNo=9000\r\n";
    WriteFileBytes(OptionPath(), before);
    TBoxSeen failure;
    bool stayedOpen = false;
    {
        const TFileSizeLimit limit(8);
        TModalDriver driver;
        driver.Expect(kChange, [](QWidget* dialog) {
            TypeInto(dialog, "edtPswd", QStringLiteral("next"));
            TypeInto(dialog, "edtConfirmPswd", QStringLiteral("next"));
            Click(dialog, "btnOK");
        });
        driver.Expect(ApplicationTitle(), Acknowledge(failure));
        driver.Expect(kChange, [&](QWidget* dialog) {
            stayedOpen = dialog->isVisible();
            Click(dialog, "btnCancel");
        });
        ChangeAdminPassword(nullptr);
        EXPECT_TRUE(driver.Done());
    }
    EXPECT_EQ(failure.text, QString::fromStdString("Unable to write to " + OptionPath() + "."));
    EXPECT_EQ(failure.icon, QMessageBox::Critical);
    EXPECT_TRUE(stayedOpen);
    EXPECT_EQ(SysOption->Password, "qirtal");
    EXPECT_EQ(ReadFileBytes(OptionPath()), before);
}

} // namespace
