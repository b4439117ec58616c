#include "base/InterfaceKind.h"
#include "config/SysOptionUnit.h"
#include "shell/MainFormUnit.h"
#include "shell/listener/RequestListener.h"
#include "support/FreePort.h"
#include "support/LoopbackClient.h"
#include "support/ModalDriver.h"
#include "support/TestEnvironment.h"
#include "ui/ErrorGuard.h"

#include <QAction>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QStatusBar>
#include <QTest>
#include <QToolButton>

namespace {

const QString kPrompt = QString::fromUtf8("请输入管理员密码");
const QString kNotice = QString::fromUtf8("提示");
const QString kStartLine = QString::fromUtf8("会员卡接口监听服务器已经启动...");
const std::string kRequest = Framed(R"(<Request type="ReadMemberCard"><InputPassword>0</InputPassword></Request>)");

bool Answered(uint16_t port)
{
    return Exchange(port, kRequest).Bytes.find("<ResultCode>500</ResultCode>") != std::string::npos;
}

void Trigger(TMainForm& form, const char* objectName)
{
    form.findChild<QAction*>(QString::fromLatin1(objectName))->trigger();
}

QString InfoMemoText(TMainForm& form)
{
    return form.findChild<QPlainTextEdit*>(QStringLiteral("InfoMemo"))->toPlainText();
}

TModalDriver::TAction EnterPassword(const char* password)
{
    return [password](QWidget* dialog) {
        TypeInto(dialog, "edtPswd", QString::fromLatin1(password));
        QTest::keyClick(Child(dialog, "edtPswd"), Qt::Key_Return);
    };
}

TModalDriver::TAction ClickCancel()
{
    return [](QWidget* dialog) { Click(dialog, "btnCancel"); };
}

class MainFormTest : public TProcessObjectsTest {
protected:
    void SetUp() override
    {
        TProcessObjectsTest::SetUp();
        m_port = FreePort();
        SysOption->MemberPortNo = m_port;
    }

    uint16_t m_port = 0;
};

TEST_F(MainFormTest, CreationSetsTheTitleAndStartsServingWithTheStartLine)
{
    TMainForm form;

    EXPECT_EQ(form.windowTitle(), QString::fromUtf8("Velmora会员卡接口"));
    EXPECT_EQ(ApplicationTitle(), form.windowTitle());
    EXPECT_EQ(InfoMemoText(form), kStartLine);
    EXPECT_TRUE(Answered(m_port));
    EXPECT_TRUE(form.findChild<QStatusBar*>(QStringLiteral("StatusBar"))->currentMessage().isEmpty());
}

TEST_F(MainFormTest, TakenPortIsReportedUnderTheTitleAndTheWindowOpensWithItsStartLine)
{
    TRequestListener other(nullptr, [](TClientConnection&, std::string) -> asio::awaitable<void> { co_return; });
    other.Start(m_port);
    TModalDriver driver;
    QString caption;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    driver.Expect(InterfaceTitle(), [&](QWidget* widget) {
        auto* box = qobject_cast<QMessageBox*>(widget);
        caption = box->windowTitle();
        text = box->text();
        icon = box->icon();
        AcknowledgeBox(box);
    });

    TMainForm form;
    EXPECT_TRUE(driver.Done());
    EXPECT_EQ(caption, QString::fromUtf8("Velmora会员卡接口"));
    EXPECT_EQ(text, QStringLiteral("Could not bind socket. Address and port are already in use."));
    EXPECT_EQ(icon, QMessageBox::Critical);
    EXPECT_EQ(InfoMemoText(form), kStartLine);
}

TEST_F(MainFormTest, RefusedExitKeepsTheWindowOpenAndServing)
{
    TMainForm form;
    form.show();
    bool closed = false;
    QObject::connect(&form, &TMainForm::Closed, [&closed] { closed = true; });
    TModalDriver driver;
    bool servedWhilePrompting = false;
    driver.Expect(kPrompt, [&](QWidget* dialog) {
        servedWhilePrompting = Answered(m_port);
        EnterPassword("Qirtal")(dialog);
    });
    driver.Expect(kNotice, AcknowledgeBox);
    driver.Expect(kPrompt, ClickCancel());

    Trigger(form, "ExitMenuItem");
    EXPECT_TRUE(driver.Done());
    EXPECT_TRUE(servedWhilePrompting);
    EXPECT_FALSE(closed);
    EXPECT_TRUE(form.isVisible());
    EXPECT_TRUE(Answered(m_port));
}

TEST_F(MainFormTest, EveryWayOfClosingNeedsTheRightPassword)
{
    for (const char* way : { "ExitAction", "ExitMenuItem", "close box" }) {
        SCOPED_TRACE(way);
        TMainForm form;
        form.show();
        bool closed = false;
        QObject::connect(&form, &TMainForm::Closed, [&closed] { closed = true; });
        TModalDriver driver;
        driver.Expect(kPrompt, EnterPassword("qirtal"));

        if (std::string(way) == "close box") {
            EXPECT_TRUE(form.close());
        } else {
            Trigger(form, way);
        }
        EXPECT_TRUE(driver.Done());
        EXPECT_TRUE(closed);
        EXPECT_FALSE(form.isVisible());
    }
}

TEST_F(MainFormTest, ChangePasswordCommandOpensTheChangeDialogOnlyAfterAPassedPrompt)
{
    TMainForm form;
    {
        TModalDriver driver;
        driver.Expect(kPrompt, ClickCancel());
        Trigger(form, "ChangePasswordMenuItem");
        EXPECT_TRUE(driver.Done());
    }
    {
        TModalDriver driver;
        bool changeDialogShown = false;
        driver.Expect(kPrompt, EnterPassword("qirtal"));
        driver.Expect(QString::fromUtf8("更改管理员密码"), [&](QWidget* dialog) {
            changeDialogShown = true;
            Click(dialog, "btnCancel");
        });
        qobject_cast<QToolButton*>(form.findChild<QWidget*>(QStringLiteral("ChangePasswordButton")))->click();
        EXPECT_TRUE(driver.Done());
        EXPECT_TRUE(changeDialogShown);
    }
}

TEST_F(MainFormTest, AboutBoxAsksNoPasswordAndCarriesTheWindowsTitle)
{
    TMainForm form;
    TModalDriver driver;
    QString titleLine;
    QString versionLine;
    driver.Expect(QString::fromUtf8("关于..."), [&](QWidget* dialog) {
        titleLine = qobject_cast<QLabel*>(Child(dialog, "lblAppTitle"))->text();
        versionLine = qobject_cast<QLabel*>(Child(dialog, "lblVersion"))->text();
        Click(dialog, "btnOK");
    });

    Trigger(form, "AboutMenuItem");
    EXPECT_TRUE(driver.Done());
    EXPECT_EQ(titleLine, form.windowTitle());
    EXPECT_EQ(versionLine, QString::fromUtf8("版本 1.0.0.0"));
}

} // namespace
