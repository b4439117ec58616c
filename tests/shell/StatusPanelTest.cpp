#include "status/ServiceStatus.h"
#include "shell/StatusPanel.h"

#include <gtest/gtest.h>

namespace {

TEST(StatusPanelTest, TextsSayWhatTheSnapshotHolds)
{
    const QDate today(2026, 12, 7);
    TServiceSnapshot serving;
    serving.Today = today;
    serving.Listener = TListenerState::Listening;
    serving.Port = 8883;
    serving.PrinterLibrary = TPrinterLibraryKind::Vendor;
    serving.PrinterLibraryPath = QStringLiteral("/usr/lib/member-interface/libRCPV11_VCDLL.so");
    serving.PrinterPortOpen = true;
    serving.AnsweredToday = 15;
    serving.FailedToday = 3;
    serving.LastFailureAt = QDateTime(today, QTime(14, 3, 22));
    serving.LastFailure = QString::fromUtf8("写卡失败");
    serving.LastPrinterFaultAt = QDateTime(today, QTime(14, 3, 21));
    serving.LastPrinterFault = QString::fromUtf8("进卡失败:Card jam B");

    TServiceSnapshot failed;
    failed.Today = today;
    failed.Listener = TListenerState::Failed;
    failed.Port = 8883;
    failed.ListenerError = QStringLiteral("Could not bind socket. Address and port are already in use.");
    failed.PrinterLibrary = TPrinterLibraryKind::None;
    failed.PrinterLibraryError = QStringLiteral("libRCPV11_VCDLL.so: cannot open shared object file");
    failed.LastPrinterFaultAt = QDateTime(QDate(2026, 12, 6), QTime(23, 10, 0));
    failed.LastPrinterFault = QString::fromUtf8("打开串口失败.");

    // A later transaction has succeeded since the fault.
    TServiceSnapshot recovered = serving;
    recovered.LastPrinterFaultPast = true;

    TServiceSnapshot stopped;
    stopped.Listener = TListenerState::Stopped;
    stopped.PrinterLibrary = TPrinterLibraryKind::Simulator;
    stopped.PrinterLibraryPath = QStringLiteral("build/bin/libRCPV11_VCDLL.so");

    struct TExpected {
        QString Listener;
        QString Printer;
        QString Requests;
        QString PrinterTip;
        QString HttpApi;
    };
    const struct {
        const char* name;
        TServiceSnapshot snapshot;
        TExpected expected;
    } cases[] = {
        { "serving", serving,
            { QString::fromUtf8("监听端口 8883"),
                QString::fromUtf8("打印机：厂商库，端口已打开，故障 14:03:21 进卡失败:Card jam B"),
                QString::fromUtf8("今日应答 15 次，失败 3 次，最近失败 14:03:22 写卡失败"),
                QString::fromUtf8("打印机库: 厂商库 /usr/lib/member-interface/libRCPV11_VCDLL.so"), QString() } },
        { "recovered", recovered,
            { QString::fromUtf8("监听端口 8883"),
                QString::fromUtf8("打印机：厂商库，端口已打开，上次故障 14:03:21 进卡失败:Card jam B"),
                QString::fromUtf8("今日应答 15 次，失败 3 次，最近失败 14:03:22 写卡失败"),
                QString::fromUtf8("打印机库: 厂商库 /usr/lib/member-interface/libRCPV11_VCDLL.so"), QString() } },
        { "failed", failed,
            { QString::fromUtf8("未监听端口 8883：Could not bind socket. Address and port are already in use."),
                QString::fromUtf8("打印机：无打印机库，端口未打开，故障 2026-12-06 23:10:00 打开串口失败."),
                QString::fromUtf8("今日应答 0 次，失败 0 次"),
                QStringLiteral("libRCPV11_VCDLL.so: cannot open shared object file"), QString() } },
        { "stopped", stopped,
            { QString::fromUtf8("监听已停止"), QString::fromUtf8("打印机：模拟器，端口未打开"),
                QString::fromUtf8("今日应答 0 次，失败 0 次"), QString::fromUtf8("打印机库: 模拟器 build/bin/libRCPV11_VCDLL.so"),
                QString() } },
        { "not started", TServiceSnapshot {},
            { QString::fromUtf8("监听未启动"), QString::fromUtf8("打印机：无打印机库，端口未打开"),
                QString::fromUtf8("今日应答 0 次，失败 0 次"), QString(), QString() } },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const TStatusTexts texts = StatusTexts(c.snapshot);
        EXPECT_EQ(texts.Listener.toStdString(), c.expected.Listener.toStdString());
        EXPECT_EQ(texts.Printer.toStdString(), c.expected.Printer.toStdString());
        EXPECT_EQ(texts.Requests.toStdString(), c.expected.Requests.toStdString());
        EXPECT_EQ(texts.PrinterTip.toStdString(), c.expected.PrinterTip.toStdString());
        // What is never cut short is where each field begins.
        EXPECT_TRUE(texts.Listener.startsWith(texts.ListenerState));
        EXPECT_TRUE(texts.Printer.startsWith(texts.PrinterState));
        EXPECT_TRUE(texts.Requests.startsWith(texts.RequestCounts));
        EXPECT_FALSE(texts.PrinterState.contains(QString::fromUtf8("故障")));
    }
}

TEST(StatusPanelTest, PrinterFieldSaysWhenThePrinterLibraryCrashedOrHung)
{
    const QDate today(2026, 12, 7);
    TServiceSnapshot snapshot;
    snapshot.Today = today;
    snapshot.PrinterLibrary = TPrinterLibraryKind::Vendor;
    snapshot.PrinterPortOpen = true;
    snapshot.PrinterLibraryFailedAt = QDateTime(today, QTime(14, 4, 10));
    snapshot.PrinterLibraryFailureDetail = QString::fromUtf8("RfidCardRequestAndWriteData 信号11(SIGSEGV)");
    snapshot.LastPrinterFaultAt = QDateTime(today, QTime(14, 4, 10));
    snapshot.LastPrinterFault = QString::fromUtf8("写数据块失败:等待命令回复超时");
    EXPECT_EQ(StatusTexts(snapshot).Printer.toStdString(),
        "打印机：厂商库，端口已打开，打印机库崩溃 14:04:10 RfidCardRequestAndWriteData 信号11(SIGSEGV)，"
        "故障 14:04:10 写数据块失败:等待命令回复超时");
    snapshot.PrinterLibraryFailure = TPrinterLibraryFailure::Hung;
    snapshot.PrinterLibraryFailureDetail = QString::fromUtf8("CardInOver 5015毫秒未返回");
    snapshot.LastPrinterFaultAt = QDateTime();
    EXPECT_EQ(StatusTexts(snapshot).Printer.toStdString(),
        "打印机：厂商库，端口已打开，打印机库无响应 14:04:10 CardInOver 5015毫秒未返回");
}

TEST(StatusPanelTest, HttpApiFieldSaysWhereItListensOrWhyNot)
{
    TServiceSnapshot snapshot;
    EXPECT_EQ(StatusTexts(snapshot).HttpApi, QString());
    snapshot.HttpApi = THttpApiState::Listening;
    snapshot.HttpApiAddress = QStringLiteral("http://127.0.0.1:8884");
    EXPECT_EQ(StatusTexts(snapshot).HttpApi.toStdString(), "HTTP接口 http://127.0.0.1:8884");
    snapshot.HttpApi = THttpApiState::Refused;
    snapshot.HttpApiProblem = QString::fromUtf8("BindAddress 0.0.0.0 不是回环地址，其他计算机可以访问，但未设置 Token");
    EXPECT_EQ(StatusTexts(snapshot).HttpApi.toStdString(),
        "HTTP接口未启动：BindAddress 0.0.0.0 不是回环地址，其他计算机可以访问，但未设置 Token");
    snapshot.HttpApi = THttpApiState::Stopped;
    EXPECT_EQ(StatusTexts(snapshot).HttpApi.toStdString(), "HTTP接口已停止");
}

} // namespace
