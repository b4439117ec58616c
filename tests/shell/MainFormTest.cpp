#include "base/InterfaceKind.h"
#include "config/HttpOption.h"
#include "config/SysOptionUnit.h"
#include "status/ServiceStatus.h"
#include "server/MemberServer.h"
#include "shell/MainFormUnit.h"
#include "shell/StatusPanel.h"
#include "listener/RequestListener.h"
#include "support/FreePort.h"
#include "support/LoopbackClient.h"
#include "support/ModalDriver.h"
#include "support/TestEnvironment.h"
#include "ui/ErrorGuard.h"
#include "base/TextCodec.h"

#include <QAction>
#include <QApplication>
#include <QImage>
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

// One field of the status bar.
QString Panel(TMainForm& form, const char* objectName)
{
    return form.findChild<QStatusBar*>(QStringLiteral("StatusBar"))
        ->findChild<QLabel*>(QString::fromLatin1(objectName))
        ->text();
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
    TMemberServer server;
    TMainForm form(server);

    EXPECT_EQ(form.windowTitle(), QString::fromUtf8("Velmora会员卡接口"));
    EXPECT_EQ(ApplicationTitle(), form.windowTitle());
    EXPECT_EQ(InfoMemoText(form), kStartLine);
    EXPECT_TRUE(Answered(m_port));
    EXPECT_EQ(Panel(form, "ListenerPanel"), QString::fromUtf8("监听端口 %1").arg(m_port));
}

TEST_F(MainFormTest, StatusBarFollowsAnsweredRequestsWithoutBeingAsked)
{
    TMemberServer server;
    TMainForm form(server);
    form.show();
    ASSERT_TRUE(Answered(m_port)); // no device: answered with a failure
    const QString expected = StatusTexts(ServiceStatus().Snapshot()).Requests;
    EXPECT_TRUE(expected.contains(QString::fromUtf8("读卡失败"))) << expected.toStdString();
    EXPECT_TRUE(QTest::qWaitFor([&] { return Panel(form, "RequestsPanel") == expected; }, 3000))
        << Panel(form, "RequestsPanel").toStdString();
}

// At the window's default width a long printer fault is the field that is
// cut short: the day's counts stay readable, and the fault's whole text is
// the field's tool tip.
TEST_F(MainFormTest, StatusBarKeepsTheCountsVisibleAtTheDefaultWidthWhateverTheFaultSays)
{
    ServiceStatus().PrinterLibraryChosen(TPrinterLibraryKind::Vendor, QString(), QStringLiteral("/opt/lib.so"));
    ServiceStatus().PrinterPortChanged(true);
    const std::string fault = Gbk("擦除打印失败:") + std::string(12, 'x') + " Erase head temperature error A "
        + Gbk("并且这是一段很长很长的故障说明文字，一直写到状态栏放不下为止");
    ServiceStatus().PrinterFault("ErasePrintDischarge", fault);
    for (int i = 0; i < 12345; ++i) {
        ServiceStatus().RequestAnswered(i % 1000 == 0, Gbk("打印卡失败"));
    }
    TMemberServer server;
    TMainForm form(server);
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    auto* statusBar = form.findChild<QStatusBar*>(QStringLiteral("StatusBar"));
    auto* requests = statusBar->findChild<QLabel*>(QStringLiteral("RequestsPanel"));
    auto* printer = statusBar->findChild<QLabel*>(QStringLiteral("PrinterPanel"));
    const QString counts = QString::fromUtf8("今日应答 12345 次，失败 13 次");
    ASSERT_TRUE(QTest::qWaitFor([&] { return requests->text().startsWith(counts); }, 3000))
        << requests->text().toStdString();
    QApplication::processEvents();
    const QImage grab = form.grab().toImage();
    EXPECT_EQ(grab.width(), form.width());

    EXPECT_TRUE(requests->isVisible());
    // What the field paints: its text cut to its width.
    const auto shown = [](const QLabel* label) {
        return label->fontMetrics().elidedText(label->text(), Qt::ElideRight, label->contentsRect().width());
    };
    EXPECT_TRUE(shown(requests).startsWith(counts)) << shown(requests).toStdString();
    EXPECT_LE(requests->geometry().right(), statusBar->width());
    // The fault is what gives way, and its tool tip holds all of it.
    EXPECT_LT(printer->contentsRect().width(), printer->fontMetrics().horizontalAdvance(printer->text()));
    EXPECT_TRUE(printer->toolTip().contains(TextCodec::FromGbk(fault)));
    EXPECT_TRUE(shown(printer).startsWith(QString::fromUtf8("打印机：厂商库，端口已打开"))) << shown(printer).toStdString();
}

TEST_F(MainFormTest, LogPaneFollowsTheWindowsSize)
{
    TMemberServer server;
    TMainForm form(server);
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    auto* memo = form.findChild<QPlainTextEdit*>(QStringLiteral("InfoMemo"));
    EXPECT_EQ(memo->width(), form.width());
    form.resize(form.width() + 300, form.height() + 200);
    QApplication::processEvents();
    EXPECT_EQ(memo->width(), form.width());
    EXPECT_EQ(memo->geometry().bottom() + 1, form.centralWidget()->height());
    EXPECT_GT(memo->height(), 401 + 150);
}

TEST_F(MainFormTest, LogPaneTakesNoTyping)
{
    TMemberServer server;
    TMainForm form(server);
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    auto* memo = form.findChild<QPlainTextEdit*>(QStringLiteral("InfoMemo"));
    memo->setFocus();
    QTest::keyClicks(memo, QStringLiteral("hello"));
    QTest::keyClick(memo, Qt::Key_Return);
    EXPECT_EQ(InfoMemoText(form), kStartLine);
}

// A crash of the printer library, like a printer fault, is history once a
// later step has succeeded, and a later hang stands again. The field's tool
// tip names the library's file.
TEST_F(MainFormTest, PrinterFieldMarksALibraryCrashPastOnceAStepSucceeds)
{
    const QString path = QStringLiteral("/usr/lib/member-interface/libRCPV11_VCDLL.so");
    ServiceStatus().PrinterLibraryChosen(TPrinterLibraryKind::Simulator, QString(), path);
    ServiceStatus().PrinterLibraryFailed(TPrinterLibraryFailure::Crashed, Gbk("CardInOver 信号11(SIGSEGV)"));
    TMemberServer server;
    TMainForm form(server);
    form.show();
    auto* printer
        = form.findChild<QStatusBar*>(QStringLiteral("StatusBar"))->findChild<QLabel*>(QStringLiteral("PrinterPanel"));
    const auto shows = [&](const char* marker) {
        return QTest::qWaitFor([&] { return printer->text().contains(QString::fromUtf8(marker)); }, 3000);
    };
    EXPECT_TRUE(shows("，打印机库崩溃 ")) << printer->text().toStdString();
    EXPECT_TRUE(printer->toolTip().endsWith(QString::fromUtf8("\n打印机库: 模拟器 ") + path))
        << printer->toolTip().toStdString();

    ServiceStatus().PrinterSucceeded();
    EXPECT_TRUE(shows("，上次打印机库崩溃 ")) << printer->text().toStdString();
    ServiceStatus().PrinterLibraryFailed(TPrinterLibraryFailure::Hung, Gbk("CardInOver 5015毫秒未返回"));
    EXPECT_TRUE(shows("，打印机库无响应 ")) << printer->text().toStdString();
    EXPECT_FALSE(printer->text().contains(QString::fromUtf8("上次打印机库"))) << printer->text().toStdString();
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

    TMemberServer server;
    TMainForm form(server);
    EXPECT_TRUE(driver.Done());
    EXPECT_EQ(caption, QString::fromUtf8("Velmora会员卡接口"));
    EXPECT_EQ(text, QStringLiteral("Could not bind socket. Address and port are already in use."));
    EXPECT_EQ(icon, QMessageBox::Critical);
    EXPECT_EQ(InfoMemoText(form), kStartLine);
    EXPECT_EQ(Panel(form, "ListenerPanel"),
        QString::fromUtf8("未监听端口 %1：Could not bind socket. Address and port are already in use.").arg(m_port));
}

// Sets: the HTTP API enabled on every address, with no token.
TEST_F(MainFormTest, StatusBarSaysWhyTheHttpApiDoesNotListen)
{
    HttpOption = std::make_unique<THttpOption>(OptionPath());
    HttpOption->Enabled = true;
    HttpOption->BindAddress = "0.0.0.0";
    HttpOption->Port = FreePort();
    {
        TMemberServer server;
        TMainForm form(server);
        EXPECT_TRUE(Answered(m_port));
        const QString panel = Panel(form, "HttpApiPanel");
        EXPECT_TRUE(panel.startsWith(QString::fromUtf8("HTTP接口未启动：BindAddress 0.0.0.0 不是回环地址")))
            << panel.toStdString();
        EXPECT_TRUE(InfoMemoText(form).contains(QString::fromUtf8("HTTP接口未启动")));
    }
    HttpOption.reset();
}

TEST_F(MainFormTest, RefusedExitKeepsTheWindowOpenAndServing)
{
    TMemberServer server;
    TMainForm form(server);
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
        TMemberServer server;
        TMainForm form(server);
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
    TMemberServer server;
    TMainForm form(server);
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
    TMemberServer server;
    TMainForm form(server);
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
