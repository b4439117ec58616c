#include "dialogs/OptionFormUnit.h"

#include "support/ScriptedPrinterLibrary.h"
#include "base/InterfaceKind.h"
#include "base/TextCodec.h"
#include "config/SysOptionUnit.h"
#include "member/OptionUnit.h"
#include "member/TRWGII2010DMemberUnit.h"
#include "server/MemberServer.h"
#include "shell/MainFormUnit.h"
#include "support/FreePort.h"
#include "support/ModalDriver.h"
#include "support/TestEnvironment.h"
#include "ui/ErrorGuard.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QTest>

namespace {

const QString kCaption = QString::fromUtf8("会员卡接口配置");
const QString kPrompt = QString::fromUtf8("请输入管理员密码");
const QString kNotice = QString::fromUtf8("提示");

QString ComboText(QWidget* dialog, const char* name)
{
    return qobject_cast<QComboBox*>(Child(dialog, name))->currentText();
}

QString EditText(QWidget* dialog, const char* name)
{
    return qobject_cast<QLineEdit*>(Child(dialog, name))->text();
}

QStringList MemoLines(QWidget* dialog)
{
    return qobject_cast<QPlainTextEdit*>(Child(dialog, "mmoadtext"))->toPlainText().split(QLatin1Char('\n'));
}

void SetComboText(QWidget* dialog, const char* name, const QString& text)
{
    qobject_cast<QComboBox*>(Child(dialog, name))->setEditText(text);
}

void SetEditText(QWidget* dialog, const char* name, const QString& text)
{
    qobject_cast<QLineEdit*>(Child(dialog, name))->setText(text);
}

// The dialog's control that holds the keyboard focus (an editable list's
// focus sits in its inner line edit).
class OptionFormTest : public TProcessObjectsTest {
protected:
    void SetUp() override
    {
        TProcessObjectsTest::SetUp();
        // The main window's listener must not fight a test beside it for the port.
        SysOption->MemberPortNo = FreePort();
    }

    // The options as a whole, for "nothing changed" checks.
    static std::vector<std::string> Fields(const TOption& o)
    {
        return {o.PortName, std::to_string(o.Bandrate), std::to_string(o.BlockNo), std::to_string(o.PrintMode),
            o.Adtext, std::to_string(o.YState), std::to_string(o.Rowlen)};
    }
    void StoreOptions(const std::string& memberSection)
    {
        WriteFileBytes(OptionPath(), "[SysOption]\r\nMemberPortNo=8899\r\n[MemberOption]\r\n" + memberSection
                + "[Other]\r\nKey=kept\r\n");
        MemberOption->Load();
    }
};

// --- Showing the options ------------------------------------------------------

TEST_F(OptionFormTest, WithoutAnOptionsFileTheDefaultsAreShown)
{
    TOptionForm form;

    EXPECT_EQ(form.windowTitle(), kCaption);
    EXPECT_EQ(form.size(), QSize(615, 292));
    QWidget* dialog = &form;
    EXPECT_EQ(ComboText(dialog, "cbbPortName"), QStringLiteral("USB"));
    EXPECT_EQ(ComboText(dialog, "cbbBandrate"), QStringLiteral("9600"));
    EXPECT_EQ(EditText(dialog, "edtBlockNoEdit"), QStringLiteral("1"));
    EXPECT_EQ(EditText(dialog, "edtYState"), QStringLiteral("350"));
    EXPECT_EQ(EditText(dialog, "edtRowlen"), QStringLiteral("24"));
    EXPECT_EQ(MemoLines(dialog), QStringList {QString()});
}

TEST_F(OptionFormTest, PortAndBaudRateShowOnlyWhenTheyAreListEntries)
{
    struct TCase {
        const char* portName;
        int32_t bandrate;
        const char* shownPort;
        const char* shownRate;
    };
    const TCase cases[] = {
        {"USB", 57600, "USB", "57600"},
        // The list entry is found without regard to letter case.
        {"usb", 14400, "USB", "14400"},
        {"uSb", 9600, "USB", "9600"},
        {"COM1", 115200, "", ""},
        {"", 0, "", ""},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.portName);
        MemberOption->PortName = c.portName;
        MemberOption->Bandrate = c.bandrate;
        TOptionForm form;
        EXPECT_EQ(ComboText(&form, "cbbPortName"), QString::fromLatin1(c.shownPort));
        EXPECT_EQ(ComboText(&form, "cbbBandrate"), QString::fromLatin1(c.shownRate));
    }
}

TEST_F(OptionFormTest, KeyboardFocusStartsAtThePortAndTabsThroughEveryControlInOrder)
{
    const QStringList expected = {"cbbPortName", "cbbBandrate", "edtBlockNoEdit", "edtRowlen", "edtYState",
        "mmoadtext", "OKBtn", "CancelBtn", "cbbPortName"};
    EXPECT_EQ(TabOrder(kCaption, static_cast<int>(expected.size()) - 1, ShowOptionForm), expected);
}

TEST_F(OptionFormTest, EnterInAnyFieldButTheMemoSavesAndInTheMemoStartsANewLine)
{
    for (const char* field : {"cbbPortName", "cbbBandrate", "edtBlockNoEdit", "edtRowlen", "edtYState", "mmoadtext"}) {
        SCOPED_TRACE(field);
        const bool memo = std::string(field) == "mmoadtext";
        bool noticed = false;
        QStringList memoLines;
        TModalDriver driver;
        driver.Expect(kCaption, [&](QWidget* dialog) {
            Child(dialog, field)->setFocus();
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
            memoLines = MemoLines(dialog);
            if (memo) {
                QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
            }
        });
        if (!memo) {
            driver.Expect(kNotice, [&noticed](QWidget* box) {
                noticed = true;
                AcknowledgeBox(box);
            });
        }

        ShowOptionForm();
        EXPECT_TRUE(driver.Done());
        EXPECT_EQ(noticed, !memo);
        if (memo) {
            EXPECT_EQ(memoLines, (QStringList {"", ""}));
        }
    }
}

// --- Advertising lines ----------------------------------------------------------

TEST_F(OptionFormTest, AdvertisingTextSplitsAtEveryBarIntoMemoLinesAndJoinsBackUnchanged)
{
    struct TCase {
        std::string adtext;
        QStringList lines;
    };
    const TCase cases[] = {
        {"", {""}},
        {Gbk("第一行|第二 行"), {QString::fromUtf8("第一行"), QString::fromUtf8("第二 行")}},
        {" a | b ", {" a ", " b "}},
        {"a|", {"a", ""}},
        {"|", {"", ""}},
        {"a||b", {"a", "", "b"}},
        // 0x95 0x7C is one character whose second byte is "|": not a separator.
        {"\x95\x7C|x", {TextCodec::FromGbk("\x95\x7C"), "x"}},
        {"\x95\x7C", {TextCodec::FromGbk("\x95\x7C")}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(TextCodec::GbkToUtf8(c.adtext));
        MemberOption->Adtext = c.adtext;
        TOptionForm form;
        form.show();
        EXPECT_EQ(MemoLines(&form), c.lines);
        MemberOption->Adtext = "changed";

        TModalDriver driver;
        driver.Expect(kNotice, AcknowledgeBox);
        Click(&form, "OKBtn");
        EXPECT_TRUE(driver.Done());
        EXPECT_EQ(MemberOption->Adtext, c.adtext);
    }
}

// --- Saving -------------------------------------------------------------------

TEST_F(OptionFormTest, OkSavesTheSectionLeavesOtherSectionsAndAsksForARestart)
{
    StoreOptions("PortName=usb\r\nBandrate=19200\r\nPrintMode=2\r\nRowlen=24\r\n");
    TOptionForm form;
    form.show();
    SetEditText(&form, "edtRowlen", QStringLiteral("30"));
    SetEditText(&form, "edtBlockNoEdit", QStringLiteral(" 0x10"));
    TModalDriver driver;
    TBoxSeen notice;
    driver.Expect(kNotice, Acknowledge(notice));

    Click(&form, "OKBtn");
    EXPECT_TRUE(driver.Done());
    EXPECT_EQ(notice.text, QString::fromUtf8("请重新启动程序,以启用设置的参数！"));
    EXPECT_EQ(notice.icon, QMessageBox::Information);
    EXPECT_EQ(form.result(), QDialog::Accepted);
    EXPECT_FALSE(form.isVisible());

    const std::vector<std::string> stored = {"USB", "19200", "16", "2", "", "350", "30"};
    EXPECT_EQ(Fields(*MemberOption), stored);
    TOption reloaded(OptionPath());
    reloaded.Load();
    EXPECT_EQ(Fields(reloaded), stored);
    const std::string file = ReadFileBytes(OptionPath());
    EXPECT_NE(file.find("[SysOption]\r\nMemberPortNo=8899\r\n"), std::string::npos);
    EXPECT_NE(file.find("[Other]\r\nKey=kept\r\n"), std::string::npos);
}

TEST_F(OptionFormTest, AnUnlistedSerialPortIsStoredEmptyWhenOkIsPressedWithoutTyping)
{
    MemberOption->PortName = "COM3";
    TOptionForm form;
    form.show();
    TModalDriver driver;
    driver.Expect(kNotice, AcknowledgeBox);

    Click(&form, "OKBtn");
    EXPECT_TRUE(driver.Done());
    EXPECT_EQ(MemberOption->PortName, "");
}

TEST_F(OptionFormTest, ANumberThatDoesNotConvertChangesNothingAndKeepsTheDialogOpen)
{
    struct TCase {
        const char* field;
        QString text;
    };
    const TCase cases[] = {
        {"cbbBandrate", ""},
        {"cbbBandrate", "96OO"},
        {"edtBlockNoEdit", "1 "},
        {"edtBlockNoEdit", "2147483648"},
        {"edtYState", "3.5"},
        {"edtRowlen", QString::fromUtf8("２４")},
    };
    StoreOptions("PortName=USB\r\nBandrate=9600\r\nRowlen=24\r\n");
    const std::string fileBefore = ReadFileBytes(OptionPath());
    const std::vector<std::string> before = Fields(*MemberOption);

    for (const TCase& c : cases) {
        SCOPED_TRACE(std::string(c.field) + " " + c.text.toStdString());
        TOptionForm form;
        form.show();
        // Entries before and after the bad one, to see that none of them applies.
        SetComboText(&form, "cbbPortName", QStringLiteral("COM2"));
        SetEditText(&form, "edtRowlen", QStringLiteral("30"));
        if (std::string(c.field) == "cbbBandrate") {
            SetComboText(&form, c.field, c.text);
        } else {
            SetEditText(&form, c.field, c.text);
        }
        TModalDriver driver;
        TBoxSeen error;
        driver.Expect(ApplicationTitle(), Acknowledge(error));

        Click(&form, "OKBtn");
        EXPECT_TRUE(driver.Done());
        EXPECT_EQ(error.text, ErrorBoxText(QStringLiteral("'%1' is not a valid integer value").arg(c.text)));
        EXPECT_EQ(error.icon, QMessageBox::Critical);
        EXPECT_TRUE(form.isVisible());
        EXPECT_EQ(ComboText(&form, "cbbPortName"), QStringLiteral("COM2"));
        EXPECT_EQ(Fields(*MemberOption), before);
        EXPECT_EQ(ReadFileBytes(OptionPath()), fileBefore);
    }
}

TEST_F(OptionFormTest, AFailedSaveChangesNothingInMemoryAndKeepsTheDialogOpen)
{
    MemberOption->FileName = Dir() + "missing/Option.ini";
    const std::vector<std::string> before = Fields(*MemberOption);
    TOptionForm form;
    form.show();
    SetEditText(&form, "edtRowlen", QStringLiteral("30"));
    TModalDriver driver;
    TBoxSeen error;
    driver.Expect(ApplicationTitle(), Acknowledge(error));

    Click(&form, "OKBtn");
    EXPECT_TRUE(driver.Done());
    EXPECT_TRUE(error.text.startsWith(QStringLiteral("Unable to write to ")));
    EXPECT_TRUE(form.isVisible());
    EXPECT_EQ(Fields(*MemberOption), before);
}

TEST_F(OptionFormTest, NextPrintUsesTheNewLayoutWithoutARestart)
{
    TScriptedPrinterLibrary library;
    TTRWGII2010DMember device(library);
    ASSERT_TRUE(device.OpenPort());
    SetOptionsDialog(ShowOptionForm);
    TModalDriver driver;
    driver.Expect(kCaption, [](QWidget* dialog) {
        SetEditText(dialog, "edtRowlen", QStringLiteral("4"));
        SetEditText(dialog, "edtYState", QStringLiteral("100"));
        qobject_cast<QPlainTextEdit*>(Child(dialog, "mmoadtext"))->setPlainText(QStringLiteral("AD"));
        Click(dialog, "OKBtn");
    });
    driver.Expect(kNotice, AcknowledgeBox);

    device.ShowOptions();
    EXPECT_TRUE(driver.Done());
    SetOptionsDialog(nullptr);
    ASSERT_TRUE(device.PrintCard("88888888", "12345678"));

    std::string texts;
    for (const std::string& call : library.Calls()) {
        if (call.starts_with("PrintCharacterDataSetting")) {
            texts += call + "\n";
        }
    }
    EXPECT_NE(texts.find(R"("1234\r\n5678)"), std::string::npos) << texts;
    EXPECT_NE(texts.find(R"(PrintCharacterDataSetting(7,0,0,100,"AD")"), std::string::npos) << texts;
}

// --- The Options command ------------------------------------------------------------

TEST_F(OptionFormTest, OptionsCommandAsksForThePasswordThenTheKeyboardAloneSavesTheLineWidth)
{
    TScriptedPrinterLibrary library;
    TTRWGII2010DMember device(library);
    CurrentMemberDevice = &device;
    InterfaceKind = ikMember;
    SetOptionsDialog(ShowOptionForm);
    TMemberServer server;
    TMainForm form(server);
    MainWindow = &form;
    QAction* command = form.findChild<QAction*>(QStringLiteral("OptionAction"));
    {
        // A cancelled prompt opens nothing: the driver would time out on it.
        TModalDriver driver;
        driver.Expect(kPrompt, [](QWidget* dialog) { Click(dialog, "btnCancel"); });
        command->trigger();
        EXPECT_TRUE(driver.Done());
    }
    const auto key = [](Qt::Key k) { QTest::keyClick(QApplication::focusWidget(), k); };
    TModalDriver driver;
    driver.Expect(kPrompt, [key](QWidget*) {
        QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("qirtal"));
        key(Qt::Key_Return);
    });
    driver.Expect(kCaption, [key](QWidget*) {
        for (int i = 0; i < 3; ++i) {
            key(Qt::Key_Tab);
        }
        // Tabbing into a field selects its text, so typing replaces it.
        QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("30"));
        key(Qt::Key_Return);
    });
    driver.Expect(kNotice, [key](QWidget*) { key(Qt::Key_Return); });

    command->trigger();
    EXPECT_TRUE(driver.Done());
    TOption reloaded(OptionPath());
    reloaded.Load();
    EXPECT_EQ(reloaded.Rowlen, 30);
    EXPECT_EQ(MemberOption->Rowlen, 30);
    SetOptionsDialog(nullptr);
    MainWindow = nullptr;
    InterfaceKind = ikNone;
}

} // namespace
