#include "dialogs/MemberTestFormUnit.h"

#include "base/InterfaceKind.h"
#include "base/TextCodec.h"
#include "config/SysOptionUnit.h"
#include "member/DeviceQueue.h"
#include "member/MemberMessageHandlerUnit.h"
#include "member/TRWGII2010DMemberUnit.h"
#include "server/MemberServer.h"
#include "shell/MainFormUnit.h"
#include "sim/SimulatedPrinter.h"
#include "support/DeviceHold.h"
#include "support/FreePort.h"
#include "support/ModalDriver.h"
#include "support/RecordingMember.h"
#include "support/TestEnvironment.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QTest>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>

namespace {

const QString kCaption = QString::fromUtf8("测试");
const QString kHotelCard = QString::fromUtf8("酒店会员卡");
const QString kAllianceCard = QString::fromUtf8("Velmora联盟卡");

// The device's calls as Operation("arg",...), texts in UTF-8.
std::vector<std::string> Calls(const TRecordingMember& device)
{
    std::vector<std::string> calls;
    for (const TRecordingMember::TCall& call : device.Calls()) {
        std::string text = call.Operation + "(";
        for (size_t i = 0; i < call.Args.size(); ++i) {
            text += (i > 0 ? ",\"" : "\"") + TextCodec::GbkToUtf8(call.Args[i]) + "\"";
        }
        calls.push_back(text + ")");
    }
    return calls;
}

QLineEdit* Edit(QWidget* dialog, const char* name)
{
    return qobject_cast<QLineEdit*>(Child(dialog, name));
}

QComboBox* ChannelCmb(QWidget* dialog)
{
    return qobject_cast<QComboBox*>(Child(dialog, "ChannelCmb"));
}

// Also notes, at each call, whether the busy cursor was up and whether the
// holder of the device lock had let it go.
class TWatchingMember : public TRecordingMember {
public:
    bool OpenPort() override
    {
        BusyDuringCall = QGuiApplication::overrideCursor() != nullptr
            && QGuiApplication::overrideCursor()->shape() == Qt::WaitCursor;
        CalledAfterRelease = Released.load();
        return TRecordingMember::OpenPort();
    }

    std::atomic<bool> Released {false};
    bool BusyDuringCall = false;
    bool CalledAfterRelease = false;
};

class MemberTestFormTest : public TProcessObjectsTest {
protected:
    void SetUp() override
    {
        TProcessObjectsTest::SetUp();
        // The main window's listener must not fight a test beside it for the port.
        SysOption->MemberPortNo = FreePort();
        CurrentMemberDevice = &Device;
    }

    TRecordingMember Device;
};

// --- The dialog ---------------------------------------------------------------

TEST_F(MemberTestFormTest, OpensWithTheHotelCardSelectedAndBothFieldsEmpty)
{
    TMemberTestForm form;

    EXPECT_EQ(form.windowTitle(), kCaption);
    EXPECT_EQ(form.size(), QSize(441, 311));
    QComboBox* channel = ChannelCmb(&form);
    ASSERT_EQ(channel->count(), 2);
    EXPECT_EQ(channel->itemText(0), kHotelCard);
    EXPECT_EQ(channel->itemText(1), kAllianceCard);
    EXPECT_EQ(channel->currentText(), kHotelCard);
    EXPECT_TRUE(Edit(&form, "CardNoEdit")->text().isEmpty());
    EXPECT_TRUE(Edit(&form, "PasswordEdit")->text().isEmpty());
    EXPECT_EQ(Edit(&form, "PasswordEdit")->echoMode(), QLineEdit::Normal);
}

TEST_F(MemberTestFormTest, KeyboardFocusStartsAtOpenPortAndTabsThroughEveryControlInOrder)
{
    const QStringList expected = {"OpenPortBtn", "ClosePortBtn", "CardNoEdit", "PasswordEdit", "ReadCardBtn",
        "WriteCardBtn", "beepBtn", "ChannelCmb", "PrintCardBtn", "OpenPortBtn"};
    EXPECT_EQ(TabOrder(kCaption, static_cast<int>(expected.size()) - 1, ShowMemberTestDialog), expected);
}

TEST_F(MemberTestFormTest, EnterPressesTheFocusedButtonAndNothingInAField)
{
    TModalDriver driver;
    std::vector<std::string> afterFieldEnter;
    driver.Expect(kCaption, [&](QWidget*) {
        const auto key = [](Qt::Key k) { QTest::keyClick(QApplication::focusWidget(), k); };
        // Through both port buttons into the card number field.
        key(Qt::Key_Tab);
        key(Qt::Key_Tab);
        QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("12345678"));
        key(Qt::Key_Return);
        afterFieldEnter = Calls(Device);
        key(Qt::Key_Tab);
        key(Qt::Key_Tab);
        key(Qt::Key_Tab);
        key(Qt::Key_Return);
        key(Qt::Key_Escape);
    });

    ShowMemberTestDialog();
    EXPECT_TRUE(driver.Done());
    EXPECT_TRUE(afterFieldEnter.empty());
    EXPECT_EQ(Calls(Device), std::vector<std::string> {R"(WriteCard("12345678","","","","-1"))"});
}

// --- Buttons and their device calls -----------------------------------------------

TEST_F(MemberTestFormTest, EachButtonCallsItsDeviceOperationWithItsArguments)
{
    struct TCase {
        const char* button;
        QString channelText;
        QString cardNo;
        std::string call;
    };
    const TCase cases[] = {
        {"OpenPortBtn", kHotelCard, "1", "OpenPort()"},
        {"ClosePortBtn", kHotelCard, "1", "ClosePort()"},
        {"beepBtn", kHotelCard, "1", "Beep()"},
        {"ReadCardBtn", kHotelCard, "1", R"(ReadCard("0","-1"))"},
        {"ReadCardBtn", kAllianceCard, "1", R"(ReadCard("0","11"))"},
        {"ReadCardBtn", "other", "", R"(ReadCard("0","11"))"},
        {"ReadCardBtn", "", "", R"(ReadCard("0","11"))"},
        // The whole text must match: a trailing blank makes another channel.
        {"ReadCardBtn", kHotelCard + " ", "", R"(ReadCard("0","11"))"},
        {"WriteCardBtn", kHotelCard, "12345678", R"(WriteCard("12345678","","","","-1"))"},
        {"WriteCardBtn", kAllianceCard, " 0012 ", R"(WriteCard(" 0012 ","","","","11"))"},
        {"WriteCardBtn", kHotelCard, "", R"(WriteCard("","","","","-1"))"},
        {"WriteCardBtn", kHotelCard, QString::fromUtf8("卡号1"), R"(WriteCard("卡号1","","","","-1"))"},
        {"PrintCardBtn", "other", "12345678", "PrintCard(\"88888888\",\"\r\n当前消费:100\r\n卡内余额:300\")"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(std::string(c.button) + " " + c.channelText.toStdString() + " " + c.cardNo.toStdString());
        TRecordingMember device;
        CurrentMemberDevice = &device;
        TMemberTestForm form;
        ChannelCmb(&form)->setEditText(c.channelText);
        Edit(&form, "CardNoEdit")->setText(c.cardNo);

        Click(&form, c.button);
        EXPECT_EQ(Calls(device), std::vector<std::string> {c.call});
    }
}

TEST_F(MemberTestFormTest, ReadShowsTheCardNumberReturnedAndEmptiesThePasswordEvenWhenItFails)
{
    for (const bool succeeds : {true, false}) {
        SCOPED_TRACE(succeeds);
        TMemberTestForm form;
        Edit(&form, "CardNoEdit")->setText(QStringLiteral("stale"));
        Edit(&form, "PasswordEdit")->setText(QStringLiteral("stale"));
        Device.Result = succeeds;
        Device.ReadCardNo = Gbk("会员00012345");

        Click(&form, "ReadCardBtn");
        EXPECT_EQ(Edit(&form, "CardNoEdit")->text(), succeeds ? QString::fromUtf8("会员00012345") : QString());
        EXPECT_EQ(Edit(&form, "PasswordEdit")->text(), QString());
    }
}

TEST_F(MemberTestFormTest, ACallWaitsForTheRequestHoldingTheDeviceAndShowsTheBusyCursor)
{
    TWatchingMember device;
    CurrentMemberDevice = &device;
    TMemberTestForm form;
    std::atomic<bool> holding {false};
    std::thread request([&] {
        const TDeviceHold turn;
        holding = true;
        // Until the dialog's call has queued behind this one (or, were it
        // to skip the queue, has already run); bounded, so a dialog that never
        // calls fails the test instead of leaving this thread spinning.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (DeviceQueue.Queued() < 2 && device.Calls().empty() && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::yield();
        }
        device.Released = true;
    });
    while (!holding) {
        std::this_thread::yield();
    }

    Click(&form, "OpenPortBtn");
    request.join();
    EXPECT_TRUE(device.CalledAfterRelease);
    EXPECT_TRUE(device.BusyDuringCall);
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
    EXPECT_FALSE(device.Overlapped);
}

// --- With the card printer ----------------------------------------------------------

class MemberTestFormPrinterTest : public TProcessObjectsTest {
protected:
    void SetUp() override
    {
        TProcessObjectsTest::SetUp();
        m_printer = std::make_unique<TSimulatedPrinter>(Dir());
        m_device = std::make_unique<TTRWGII2010DMember>(*m_printer);
        CurrentMemberDevice = m_device.get();
        ASSERT_TRUE(m_device->OpenPort());
    }
    void TearDown() override
    {
        CurrentMemberDevice = nullptr;
        m_device.reset();
        m_printer.reset();
        TProcessObjectsTest::TearDown();
    }

    static std::string ReadRequestResult()
    {
        TMemberMessageHandler handler;
        TRecordingConnection connection;
        RunToEnd(handler.HandleMessage(
            connection, QStringLiteral(R"(<Request type="ReadMemberCard"><InputPassword>0</InputPassword></Request>)")));
        const size_t start = connection.Written.find("<ResultCode>");
        return start == std::string::npos ? "" : connection.Written.substr(start + 12, 3);
    }

private:
    std::unique_ptr<TSimulatedPrinter> m_printer;
    std::unique_ptr<TTRWGII2010DMember> m_device;
};

TEST_F(MemberTestFormPrinterTest, AWrittenCardNumberReadsBackAndTheSampleIsPrinted)
{
    TMemberTestForm form;
    Edit(&form, "CardNoEdit")->setText(QStringLiteral("12345678"));
    Click(&form, "WriteCardBtn");
    Edit(&form, "CardNoEdit")->clear();

    Click(&form, "ReadCardBtn");
    EXPECT_EQ(Edit(&form, "CardNoEdit")->text(), QStringLiteral("12345678"));

    Click(&form, "PrintCardBtn");
    const std::string face = ReadFileBytes(Dir() + "CardFace.txt");
    EXPECT_NE(face.find("当前消费:100"), std::string::npos) << face;
    EXPECT_NE(face.find("卡内余额:300"), std::string::npos) << face;
}

TEST_F(MemberTestFormPrinterTest, APortClosedHereStaysClosedForRequestsUntilOpenedHere)
{
    ASSERT_EQ(ReadRequestResult(), "200");
    TMemberTestForm form;

    Click(&form, "ClosePortBtn");
    EXPECT_EQ(ReadRequestResult(), "500");
    EXPECT_EQ(ReadRequestResult(), "500");

    Click(&form, "OpenPortBtn");
    EXPECT_EQ(ReadRequestResult(), "200");
}

// --- The Test command ------------------------------------------------------------

TEST_F(MemberTestFormTest, TestCommandOpensTheDialogWithoutAPasswordWhenThereIsADevice)
{
    InterfaceKind = ikMember;
    TMemberServer server;
    TMainForm form(server);
    QAction* command = form.findChild<QAction*>(QStringLiteral("TestAction"));
    {
        TModalDriver driver;
        driver.Expect(kCaption, [](QWidget* dialog) { Click(dialog, "OpenPortBtn"); });
        driver.Expect(kCaption, [](QWidget* dialog) { QTest::keyClick(dialog, Qt::Key_Escape); });
        command->trigger();
        EXPECT_TRUE(driver.Done());
        EXPECT_EQ(Calls(Device), std::vector<std::string> {"OpenPort()"});
    }
    {
        // Nothing opens without a device: a dialog would time the driver out.
        CurrentMemberDevice = nullptr;
        TModalDriver driver(200);
        bool opened = false;
        driver.Expect(kCaption, [&opened](QWidget* dialog) {
            opened = true;
            QTest::keyClick(dialog, Qt::Key_Escape);
        });
        command->trigger();
        EXPECT_FALSE(opened);
    }
    InterfaceKind = ikNone;
}

} // namespace
