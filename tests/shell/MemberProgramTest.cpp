#include "base/InterfaceKind.h"
#include "config/SysOptionUnit.h"
#include "member/BaseMemberUnit.h"
#include "server/MemberServer.h"
#include "shell/MainFormUnit.h"
#include "shell/MemberProgram.h"
#include "listener/RequestListener.h"
#include "support/FreePort.h"
#include "support/LoopbackClient.h"
#include "support/ModalDriver.h"
#include "support/ShutdownRequest.h"
#include "support/TestEnvironment.h"
#include "ui/DialogLook.h"

#include <QApplication>
#include <QTest>
#include <QTimer>


namespace {

const QString kPrompt = QString::fromUtf8("请输入管理员密码");
const std::string kRequest = Framed(R"(<Request type="ReadMemberCard"><InputPassword>0</InputPassword></Request>)");

// Records the entry's calls, and at ClosePort whether anything still
// listens on the member port and whether the window still exists.
class TRecordingDevice : public TBaseMember {
public:
    TRecordingDevice(std::vector<std::string>& calls, uint16_t port)
        : m_calls(calls)
        , m_port(port)
    {
    }
    bool OpenPort() override
    {
        m_calls.push_back("OpenPort");
        return true;
    }
    bool ClosePort() override
    {
        m_calls.push_back(Exchange(m_port, kRequest).Connected ? "ClosePort while listening" : "ClosePort");
        if (MainWindow != nullptr) {
            m_calls.push_back("window still exists");
        }
        return true;
    }

private:
    std::vector<std::string>& m_calls;
    uint16_t m_port;
};

class MemberProgramTest : public TProcessObjectsTest {
protected:
    void SetUp() override
    {
        TProcessObjectsTest::SetUp();
        m_port = FreePort();
        SysOption->MemberPortNo = m_port;
    }
    void TearDown() override
    {
        SetMessagesUnattended(false);
        TProcessObjectsTest::TearDown();
    }

    int Run()
    {
        TMemberServer server;
        return RunMemberProgram(*qApp, server, std::make_unique<TRecordingDevice>(m_calls, m_port));
    }

    // Once the window runs, asks it to close as the Exit command does.
    void CloseOnceRunning(QObject& context)
    {
        QTimer::singleShot(0, &context, [] { MainWindow->close(); });
    }

    uint16_t m_port = 0;
    std::vector<std::string> m_calls;
};

TEST_F(MemberProgramTest, PassedCloseCheckStopsTheListenerBeforeThePortIsClosed)
{
    TModalDriver driver;
    bool served = false;
    bool deviceCurrent = false;
    driver.Expect(kPrompt, [&](QWidget* dialog) {
        served = Exchange(m_port, kRequest).Bytes.find("<ResultCode>") != std::string::npos;
        deviceCurrent = CurrentMemberDevice != nullptr && InterfaceKind == ikMember;
        TypeInto(dialog, "edtPswd", QStringLiteral("qirtal"));
        Click(dialog, "btnOK");
    });
    CloseOnceRunning(driver);

    EXPECT_EQ(Run(), 0);
    EXPECT_TRUE(driver.Done());
    EXPECT_TRUE(served);
    EXPECT_TRUE(deviceCurrent);
    EXPECT_EQ(m_calls, (std::vector<std::string> { "OpenPort", "ClosePort" }));
    EXPECT_EQ(CurrentMemberDevice, nullptr);
}

TEST_F(MemberProgramTest, ShutdownSignalEndsTheRunWithoutPromptAndDismissesOpenDialogs)
{
    if (!THeldShutdownRequests::Supported()) {
        GTEST_SKIP() << "no console to send Ctrl+C through; ProgramSignalTest covers it";
    }
    for (const EEndRequest request : EndRequests()) {
        SCOPED_TRACE(EndRequestName(request));
        m_calls.clear();
        THeldShutdownRequests held;
        TModalDriver driver;
        driver.Expect(kPrompt, [&held, request](QWidget*) { held.Send(request); });
        CloseOnceRunning(driver);

        EXPECT_EQ(Run(), 0);
        EXPECT_TRUE(driver.Done());
        EXPECT_EQ(m_calls, (std::vector<std::string> { "OpenPort", "ClosePort" }));
        SetMessagesUnattended(false);
    }
}

TEST_F(MemberProgramTest, ShutdownSignalWhileTheBindErrorIsShownStillEndsTheProgram)
{
    if (!THeldShutdownRequests::Supported()) {
        GTEST_SKIP() << "no console to send Ctrl+C through; ProgramSignalTest covers it";
    }
    TRequestListener other(nullptr, [](TClientConnection&, std::string) -> asio::awaitable<void> { co_return; });
    other.Start(m_port);
    THeldShutdownRequests held;
    TModalDriver driver;
    driver.Expect(QString::fromUtf8("Velmora会员卡接口"), [&held](QWidget*) { held.Send(EndRequests().front()); });

    EXPECT_EQ(Run(), 0);
    EXPECT_TRUE(driver.Done());
    ASSERT_EQ(m_calls.size(), 2u);
    EXPECT_EQ(m_calls[0], "OpenPort");
    EXPECT_EQ(m_calls[1], "ClosePort while listening"); // the other program still listens there
}

TEST_F(MemberProgramTest, ApplicationQuitAtSessionEndEndsTheRunWithoutPrompt)
{
    TModalDriver driver;
    QTimer::singleShot(0, &driver, [] { QCoreApplication::postEvent(qApp, new QEvent(QEvent::Quit)); });

    EXPECT_EQ(Run(), 0);
    EXPECT_TRUE(driver.Done());
    EXPECT_EQ(m_calls, (std::vector<std::string> { "OpenPort", "ClosePort" }));
}

} // namespace
