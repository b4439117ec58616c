#include "status/ServiceStatus.h"

#include "status/DayCountsFile.h"

#include "support/ScriptedPrinterLibrary.h"
#include "base/TextCodec.h"
#include "member/MemberMessageHandlerUnit.h"
#include "member/TRWGII2010DMemberUnit.h"
#include "support/RecordingMember.h"
#include "support/TestEnvironment.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

namespace {

TEST(ServiceStatusTest, DayCountsStartAfreshAtLocalMidnightAndTheLastFailureStays)
{
    QDateTime now(QDate(2026, 12, 6), QTime(23, 59, 58));
    TServiceStatus status([&now] { return now.toMSecsSinceEpoch(); });
    status.RequestAnswered(false, "ok");
    status.RequestAnswered(true, Gbk("写卡失败"));
    TServiceSnapshot s = status.Snapshot();
    EXPECT_EQ(s.AnsweredToday, 2u);
    EXPECT_EQ(s.FailedToday, 1u);
    EXPECT_EQ(s.LastFailure, QString::fromUtf8("写卡失败"));
    EXPECT_EQ(s.LastFailureAt, now);

    // Nobody asks during the night: whoever looks after midnight sees none.
    now = QDateTime(QDate(2026, 12, 7), QTime(0, 0, 1));
    s = status.Snapshot();
    EXPECT_EQ(s.Today, QDate(2026, 12, 7));
    EXPECT_EQ(s.AnsweredToday, 0u);
    EXPECT_EQ(s.FailedToday, 0u);
    EXPECT_EQ(s.LastFailureAt, QDateTime(QDate(2026, 12, 6), QTime(23, 59, 58)));

    status.RequestAnswered(false, "ok");
    s = status.Snapshot();
    EXPECT_EQ(s.AnsweredToday, 1u);
    EXPECT_EQ(s.FailedToday, 0u);
}

TEST(ServiceStatusTest, AFailedStartStaysVisibleAfterTheStopAndARunningListenerBecomesStopped)
{
    TServiceStatus status;
    EXPECT_EQ(status.Snapshot().Listener, TListenerState::NotStarted);
    status.ListenerFailed(8883, QStringLiteral("in use"));
    status.ListenerStopped();
    TServiceSnapshot s = status.Snapshot();
    EXPECT_EQ(s.Listener, TListenerState::Failed);
    EXPECT_EQ(s.Port, 8883);
    EXPECT_EQ(s.ListenerError, QStringLiteral("in use"));

    status.ListenerStarted(40001);
    s = status.Snapshot();
    EXPECT_EQ(s.Listener, TListenerState::Listening);
    EXPECT_EQ(s.Port, 40001);
    EXPECT_TRUE(s.ListenerError.isEmpty());
    status.ListenerStopped();
    EXPECT_EQ(status.Snapshot().Listener, TListenerState::Stopped);
}

using ServiceStatusCountingTest = TProcessObjectsTest;

TEST_F(ServiceStatusCountingTest, EveryAnsweredRequestCountsAndAnAbandonedOneDoesNot)
{
    TRecordingMember device;
    CurrentMemberDevice = &device;
    const auto handle = [](const char* utf8) {
        TRecordingConnection connection;
        TMemberMessageHandler handler;
        try {
            RunToEnd(handler.HandleMessage(connection, QString::fromUtf8(utf8)));
        } catch (const ERequestAbandoned&) {
        }
    };
    const TServiceSnapshot before = ServiceStatus().Snapshot();
    handle(R"(<R type="ReadMemberCard"><InputPassword>0</InputPassword></R>)");
    device.Result = false;
    handle(R"(<R type="PrintMemberCard"><RequestID/><CardNo>1</CardNo></R>)");
    handle(R"(<R type="ReadMemberCard"/>)");
    handle("not xml");
    const TServiceSnapshot after = ServiceStatus().Snapshot();

    EXPECT_EQ(after.AnsweredToday - before.AnsweredToday, 2u);
    EXPECT_EQ(after.FailedToday - before.FailedToday, 1u);
    EXPECT_EQ(after.LastFailure, QString::fromUtf8("打印卡失败"));
}

using ServiceStatusDriverTest = TProcessObjectsTest;

TEST_F(ServiceStatusDriverTest, DriverTellsWhetherItsPortIsOpenAndItsLastFault)
{
    TScriptedPrinterLibrary library;
    TTRWGII2010DMember device(library);
    std::string card, password, expireDate, guestName, score;
    ASSERT_TRUE(device.OpenPort());
    EXPECT_TRUE(ServiceStatus().Snapshot().PrinterPortOpen);

    // The failed eject after a card jam is not what went wrong first.
    library.Script("CardInOver", { 56 });
    library.Script("Dischange", { 56 });
    EXPECT_FALSE(device.WriteCard("1", "", "", "", -1));
    EXPECT_EQ(ServiceStatus().Snapshot().LastPrinterFault, QString::fromUtf8("进卡失败:Card jam B"));
    library.Script("Dischange", { 64 });
    EXPECT_TRUE(device.WriteCard("1", "", "", "", -1));
    EXPECT_EQ(ServiceStatus().Snapshot().LastPrinterFault, QString::fromUtf8("出卡失败:Cover open B"));
    EXPECT_FALSE(ServiceStatus().Snapshot().LastPrinterFaultPast);
    // A later transaction that succeeds makes the fault history.
    EXPECT_TRUE(device.ReadCard(false, card, password, expireDate, guestName, score, -1));
    EXPECT_EQ(ServiceStatus().Snapshot().LastPrinterFault, QString::fromUtf8("出卡失败:Cover open B"));
    EXPECT_TRUE(ServiceStatus().Snapshot().LastPrinterFaultPast);

    ASSERT_TRUE(device.ClosePort());
    EXPECT_FALSE(ServiceStatus().Snapshot().PrinterPortOpen);
    library.Script("CommOpen", { 0 });
    EXPECT_FALSE(device.OpenPort());
    const TServiceSnapshot s = ServiceStatus().Snapshot();
    EXPECT_FALSE(s.PrinterPortOpen);
    EXPECT_EQ(s.LastPrinterFault, QString::fromUtf8("打开串口失败."));
    EXPECT_FALSE(s.LastPrinterFaultPast);
}

TEST(ServiceStatusTest, DayCountsSurviveARestartOnTheSameDayOnly)
{
    QTemporaryDir dir;
    const std::string path = dir.filePath(QString::fromLatin1(TDayCountsFile::kFileName)).toStdString();
    QDateTime now(QDate(2026, 12, 7), QTime(9, 0));
    const auto clock = [&now] { return now.toMSecsSinceEpoch(); };
    {
        TServiceStatus morning(clock);
        const TDayCountsFile file(path, morning);
        morning.RequestAnswered(false, "ok");
        morning.RequestAnswered(true, "failed");
    }
    now = QDateTime(QDate(2026, 12, 7), QTime(17, 0));
    {
        TServiceStatus evening(clock);
        TDayCountsFile file(path, evening);
        EXPECT_EQ(evening.Snapshot().AnsweredToday, 2u);
        EXPECT_EQ(evening.Snapshot().FailedToday, 1u);
        evening.RequestAnswered(false, "ok");
        EXPECT_TRUE(file.Save());
        EXPECT_EQ(ReadFileBytes(path), "Day=2026-12-07\nAnswered=3\nFailed=1\n");
    }
    now = QDateTime(QDate(2026, 12, 8), QTime(8, 0));
    TServiceStatus nextDay(clock);
    const TDayCountsFile file(path, nextDay);
    EXPECT_EQ(nextDay.Snapshot().AnsweredToday, 0u);

    // Whatever else the file holds counts as no counts at all.
    for (const char* text : {"", "garbage", "Day=2026-12-07\nAnswered=2\n", "Day=2026-13-07\nAnswered=1\nFailed=0\n",
             "Day=2026-12-07\nAnswered=-1\nFailed=0\n", "Day=2026-12-07\nAnswered=1x\nFailed=0\n",
             "Day=2026-12-07\nAnswered=1\nFailed=2\n", "Day=2026-12-07\nAnswered=99999999999999999999\nFailed=0\n"}) {
        EXPECT_EQ(TDayCountsFile::Parse(text), std::nullopt) << text;
    }
    const std::optional<TDayCounts> windows = TDayCountsFile::Parse("Day=2026-12-07\r\nAnswered=5\r\nFailed=2\r\n");
    ASSERT_TRUE(windows);
    EXPECT_EQ(windows->Answered, 5u);
    EXPECT_EQ(windows->Failed, 2u);
}

} // namespace
