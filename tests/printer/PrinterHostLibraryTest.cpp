// The printer library in a process of its own: the real driver through the
// built member-printer-host, with the simulator misbehaving in it (copied
// into the test's folder, where its CardPrinter.ini is), and with a library
// that records what reaches it.

#include "printer/PrinterHostLibrary.h"

#include "base/ProfileFile.h"
#include "base/TextCodec.h"
#include "member/OptionUnit.h"
#include "status/ServiceMetrics.h"
#include "status/ServiceStatus.h"
#include "member/TRWGII2010DMemberUnit.h"
#include "support/TestEnvironment.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <chrono>
#include <sstream>
#include <thread>

#ifdef _WIN32
#include <windows.h>
#endif

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::StartsWith;
using namespace std::chrono_literals;

namespace {

class PrinterHostLibraryTest : public TProcessObjectsTest {
protected:
    void SetUp() override
    {
        TProcessObjectsTest::SetUp();
        m_simulator = Dir() + QFileInfo(QStringLiteral(SIMULATOR_LIBRARY)).fileName().toStdString();
        ASSERT_TRUE(QFile::copy(QStringLiteral(SIMULATOR_LIBRARY), QString::fromStdString(m_simulator)));
    }

    // The simulator in the test's folder; a hang counts after grace.
    TPrinterHostSettings Settings(std::chrono::milliseconds grace = 5000ms) const
    {
        TPrinterHostSettings settings;
        settings.HostPath = PRINTER_HOST;
        settings.LibraryPath = m_simulator;
        settings.Grace = grace;
        return settings;
    }

    void SetPrinterState(const std::string& key, const std::string& value, const std::string& section = "Faults") const
    {
        TProfileFile ini(Dir() + "CardPrinter.ini");
        ini.WriteString(section, key, value);
        ini.UpdateFile();
    }

    std::string Block1() const { return TProfileFile(Dir() + "CardPrinter.ini").ReadString("Card", "Block1", ""); }

    // The log's entries since the last call, in UTF-8.
    std::vector<std::string> NewLines()
    {
        const std::vector<std::string> all = Log();
        std::vector<std::string> lines;
        for (size_t i = m_seen; i < all.size(); ++i) {
            lines.push_back(TextCodec::GbkToUtf8(all[i]));
        }
        m_seen = all.size();
        return lines;
    }

    static bool Write(TTRWGII2010DMember& device, const std::string& cardNo)
    {
        return device.WriteCard(cardNo, "", "", "", 0);
    }

private:
    std::string m_simulator;
    size_t m_seen = 0;
};

TEST_F(PrinterHostLibraryTest, ACrashInACardWriteFailsThatWriteAndTheNextOneSucceeds)
{
    TPrinterHostLibrary library(Settings());
    ASSERT_TRUE(library.Loaded()) << library.LoadError();
    EXPECT_TRUE(library.IsSimulator());
    TTRWGII2010DMember device(library);
    ASSERT_TRUE(device.OpenPort());
    const int64_t firstHost = library.HostProcessId();
    const int32_t handle = device.Handle();

    SetPrinterState("Crash", "RfidCardRequestAndWriteData");
    EXPECT_FALSE(Write(device, "00012345"));
    const std::vector<std::string> failed = NewLines();
    ASSERT_EQ(failed.size(), 3u);
    EXPECT_THAT(failed[1], StartsWith("打印机库崩溃:RfidCardRequestAndWriteData,"));
    // The driver's own line, with the status of a printer that gave no
    // reply; the card came out on the new host, without a line.
    EXPECT_EQ(failed[2], "写数据块失败:等待命令回复超时");
    const TServiceSnapshot status = ServiceStatus().Snapshot();
    EXPECT_FALSE(status.PrinterLibraryFailedAt.isNull());
    EXPECT_EQ(status.PrinterLibraryFailure, TPrinterLibraryFailure::Crashed);
    EXPECT_TRUE(status.PrinterLibraryFailureDetail.startsWith(QStringLiteral("RfidCardRequestAndWriteData ")));

    SetPrinterState("Crash", "");
    EXPECT_TRUE(Write(device, "00012346"));
    EXPECT_THAT(NewLines(), ElementsAre("写数据块成功.卡号:00012346"));
    EXPECT_EQ(Block1(), "00012346");
    EXPECT_NE(library.HostProcessId(), firstHost);
    EXPECT_EQ(device.Handle(), handle);
}

TEST_F(PrinterHostLibraryTest, AHungCardWriteIsEndedAfterItsTimeOutAndTheNextOneSucceeds)
{
    TPrinterHostLibrary library(Settings(300ms));
    TTRWGII2010DMember device(library);
    ASSERT_TRUE(device.OpenPort());
    NewLines();

    SetPrinterState("Hang", "RfidCardRequestAndWriteData");
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(Write(device, "00012345"));
    const auto took = std::chrono::steady_clock::now() - start;
    // The driver's time-out argument is 15 (ms), the grace 300 ms.
    EXPECT_GE(took, 315ms);
    EXPECT_LT(took, 3s);
    EXPECT_THAT(NewLines(),
        ElementsAre("打印机库无响应:RfidCardRequestAndWriteData,315毫秒未返回,已结束进程.",
            "写数据块失败:等待命令回复超时"));
    EXPECT_EQ(ServiceStatus().Snapshot().PrinterLibraryFailure, TPrinterLibraryFailure::Hung);

    SetPrinterState("Hang", "");
    EXPECT_TRUE(Write(device, "00012346"));
    EXPECT_EQ(Block1(), "00012346");
}

TEST_F(PrinterHostLibraryTest, AbandonEndsAHungCallFromAnotherThreadAndTheHostsEndClosesThePort)
{
    // The call would count as hung only after a minute.
    TPrinterHostLibrary library(Settings(60s));
    TTRWGII2010DMember device(library);
    ASSERT_TRUE(device.OpenPort());
    NewLines();

    SetPrinterState("Hang", "RfidCardRequestAndWriteData");
    bool written = true;
    std::thread transaction([&] { written = Write(device, "00012345"); });
    std::this_thread::sleep_for(300ms);
    const auto start = std::chrono::steady_clock::now();
    library.Abandon();
    transaction.join();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);
    EXPECT_FALSE(written);
    // The port closed with the host: the eject finds no port, the close
    // has nothing left to do and starts no host.
    EXPECT_TRUE(device.ClosePort());
    EXPECT_EQ(library.HostProcessId(), 0);
    EXPECT_THAT(NewLines(),
        ElementsAre("打印机库无响应:RfidCardRequestAndWriteData,停止时放弃,已结束进程.",
            "写数据块失败:等待命令回复超时", "出卡失败:串口句柄为空", "串口关闭成功."));

    // Opening the port again starts over, once the card left inside has
    // been taken out.
    SetPrinterState("Hang", "");
    SetPrinterState("Inside", "0", "Card");
    SetPrinterState("Present", "1", "Card");
    ASSERT_TRUE(device.OpenPort());
    EXPECT_TRUE(Write(device, "00012346"));
    EXPECT_EQ(Block1(), "00012346");
}

// The recording library's lines of one process: its calls in order.
std::map<std::string, std::vector<std::string>> CallsByProcess(const std::string& file, std::vector<std::string>& pids)
{
    std::map<std::string, std::vector<std::string>> calls;
    std::istringstream lines(ReadFileBytes(file));
    std::string pid;
    std::string call;
    while (lines >> pid >> call) {
        if (!calls.contains(pid)) {
            pids.push_back(pid);
        }
        calls[pid].push_back(call);
    }
    return calls;
}

TEST_F(PrinterHostLibraryTest, AHostStartedAfterACrashOpensThePortWithTheOptionsInForce)
{
    const std::string calls = Dir() + "calls.txt";
    qputenv("MEMBER_RECORDING_PRINTER", QByteArray::fromStdString(calls));
    TPrinterHostSettings settings = Settings();
    settings.LibraryPath = RECORDING_PRINTER_LIBRARY;
    TPrinterHostLibrary library(settings);
    ASSERT_TRUE(library.Loaded()) << library.LoadError();
    EXPECT_FALSE(library.IsSimulator());
    TTRWGII2010DMember device(library);
    ASSERT_TRUE(device.OpenPort());
    // The options changed and the port opened again with them (the test
    // dialog's 打开串口); then changed once more, not yet in force.
    MemberOption->PortName = "COM3";
    MemberOption->Bandrate = 19200;
    ASSERT_TRUE(device.OpenPort());
    const int32_t handle = device.Handle();
    MemberOption->PortName = "COM5";

    WriteFileBytes(calls + ".crash", "CardInOver");
    EXPECT_FALSE(Write(device, "1"));
    EXPECT_TRUE(Write(device, "2"));
    qunsetenv("MEMBER_RECORDING_PRINTER");

    std::vector<std::string> pids;
    const auto byProcess = CallsByProcess(calls, pids);
    ASSERT_EQ(pids.size(), 2u);
    const std::vector<std::string>& first = byProcess.at(pids[0]);
    const std::vector<std::string>& second = byProcess.at(pids[1]);
    ASSERT_EQ(first.size(), 4u);
    EXPECT_THAT(first[0], StartsWith("CommOpen(100,0)="));
    EXPECT_THAT(first[2], StartsWith("CommOpen(3,19200)="));
    EXPECT_THAT(first[3], StartsWith("CardInOver("));
    // The new host opens the port as it was last opened, and every call
    // after that goes to the new host's handle; the driver keeps its own.
    ASSERT_EQ(second.size(), 5u);
    EXPECT_THAT(second[0], StartsWith("CommOpen(3,19200)="));
    const std::string newHandle = second[0].substr(second[0].find('=') + 1);
    EXPECT_EQ(second[1], "Dischange(" + newHandle + ",1,15)");
    EXPECT_EQ(second[2], "CardInOver(" + newHandle + ",15)");
    EXPECT_EQ(second[3], "RfidCardRequestAndWriteData(" + newHandle + ",1,0,A3B19C07E2D4,2,15)");
    EXPECT_EQ(second[4], "Dischange(" + newHandle + ",1,15)");
    EXPECT_EQ(device.Handle(), handle);
}

TEST_F(PrinterHostLibraryTest, AHostLostInTheEjectEjectsTheCardAgainOnANewHost)
{
    TPrinterHostLibrary library(Settings());
    TTRWGII2010DMember device(library);
    ASSERT_TRUE(device.OpenPort());
    NewLines();

    // Every second eject crashes: the write's own eject does, and the
    // new host's eject takes the card out.
    SetPrinterState("Crash", "Dischange");
    SetPrinterState("CrashEvery", "2");
    EXPECT_TRUE(Write(device, "00012345"));
    NewLines();
    EXPECT_TRUE(Write(device, "00012346"));
    const std::vector<std::string> lines = NewLines();
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_THAT(lines[0], StartsWith("写数据块成功"));
    EXPECT_THAT(lines[1], StartsWith("打印机库崩溃:Dischange,"));
    EXPECT_EQ(lines[2], "打印机库进程在出卡时结束,新进程再次出卡.");
    EXPECT_EQ(TProfileFile(Dir() + "CardPrinter.ini").ReadString("Card", "Inside", "0"), "0");
    EXPECT_FALSE(ServiceStatus().Snapshot().CardLeftInPrinter);

    // When the new host's eject fails as well, the card is named as left.
    SetPrinterState("CrashEvery", "1");
    EXPECT_TRUE(Write(device, "00012347"));
    EXPECT_EQ(NewLines().back(), "卡片留在打印机内:再次出卡也失败.");
    EXPECT_TRUE(ServiceStatus().Snapshot().CardLeftInPrinter);
    EXPECT_THAT(PrinterTroubles(ServiceStatus().Snapshot()),
        ElementsAre("a card was left in the printer: the eject failed"));
}

TEST_F(PrinterHostLibraryTest, ALibraryStillLoadingAtTheStartIsUsedOnceReadyAndCallsMeanwhileFailAtOnce)
{
    const std::string calls = Dir() + "calls.txt";
    qputenv("MEMBER_RECORDING_PRINTER", QByteArray::fromStdString(calls));
    WriteFileBytes(calls + ".slow", "1000");
    TPrinterHostSettings settings = Settings();
    settings.LibraryPath = RECORDING_PRINTER_LIBRARY;
    settings.UntimedLimit = 300ms;
    TPrinterHostLibrary library(settings);
    EXPECT_FALSE(library.Loaded());
    EXPECT_THAT(ServiceStatus().Snapshot().PrinterHostProblem.toStdString(), HasSubstr("still loading"));
    TTRWGII2010DMember device(library);
    // The port opens with the host, once it is ready; opened again from the
    // test dialog meanwhile, it is closed without a word to the host.
    EXPECT_TRUE(device.OpenPort());
    EXPECT_TRUE(device.OpenPort());
    EXPECT_FALSE(Write(device, "1"));
    EXPECT_EQ(ReadFileBytes(calls), "");

    std::this_thread::sleep_for(2500ms);
    EXPECT_TRUE(Write(device, "2"));
    std::vector<std::string> pids;
    const auto byProcess = CallsByProcess(calls, pids);
    ASSERT_EQ(pids.size(), 1u);
    EXPECT_THAT(byProcess.at(pids[0]).front(), StartsWith("CommOpen(100,0)="));
    TServiceSnapshot status = ServiceStatus().Snapshot();
    EXPECT_TRUE(status.PrinterHostProblem.isEmpty());
    EXPECT_EQ(status.PrinterLibrary, TPrinterLibraryKind::Vendor);
    EXPECT_EQ(ServiceMetrics().PrinterHostRestarts(TPrinterHostRestart::StartFailed), 0u);
    EXPECT_EQ(ServiceMetrics().PrinterHostRestarts(TPrinterHostRestart::Crash), 0u);

    // The same after a crash, when the new host loads as slowly.
    WriteFileBytes(calls + ".crash", "CardInOver");
    WriteFileBytes(calls + ".slow", "1000");
    EXPECT_FALSE(Write(device, "3"));
    EXPECT_FALSE(ServiceStatus().Snapshot().PrinterHostProblem.isEmpty());
    std::this_thread::sleep_for(2500ms);
    EXPECT_TRUE(Write(device, "4"));
    EXPECT_TRUE(ServiceStatus().Snapshot().PrinterHostProblem.isEmpty());
    qunsetenv("MEMBER_RECORDING_PRINTER");
}

#ifndef _WIN32
TEST_F(PrinterHostLibraryTest, WhatTheLibraryLeftInThePipeOrForkedNeverReachesTheNextCall)
{
    const std::string calls = Dir() + "calls.txt";
    qputenv("MEMBER_RECORDING_PRINTER", QByteArray::fromStdString(calls));
    // A hang would count only after a minute: a crash noticed sooner is
    // noticed by the host's own end.
    TPrinterHostSettings settings = Settings(60s);
    settings.LibraryPath = RECORDING_PRINTER_LIBRARY;
    TPrinterHostLibrary library(settings);
    TTRWGII2010DMember device(library);
    ASSERT_TRUE(device.OpenPort());
    NewLines();

    // Bytes after a call's reply: the next call runs on a new host.
    WriteFileBytes(calls + ".stray", "CardInOver");
    EXPECT_TRUE(Write(device, "1"));
    std::this_thread::sleep_for(300ms);
    EXPECT_TRUE(Write(device, "2"));
    EXPECT_THAT(NewLines(), ElementsAre("写数据块成功.卡号:1", StartsWith("打印机库进程在调用之间发来数据,已结束进程("),
                                "写数据块成功.卡号:2"));
    EXPECT_EQ(ServiceMetrics().PrinterHostRestarts(TPrinterHostRestart::Stray), 1u);

    // A child holding the pipe keeps no crash from being seen, and ends
    // with the host.
    WriteFileBytes(calls + ".fork", "CardInOver");
    EXPECT_FALSE(Write(device, "3"));
    const std::vector<std::string> lines = NewLines();
    ASSERT_GE(lines.size(), 2u);
    EXPECT_THAT(lines[0], StartsWith("打印机库崩溃:CardInOver,"));
    const pid_t child = std::stoi(ReadFileBytes(calls + ".child"));
    std::this_thread::sleep_for(100ms);
    const std::string state = ReadFileBytes("/proc/" + std::to_string(child) + "/stat");
    EXPECT_TRUE(state.empty() || state.find(") Z ") != std::string::npos) << state;
    EXPECT_EQ(ServiceMetrics().PrinterHostRestarts(TPrinterHostRestart::Crash), 1u);
    EXPECT_EQ(ServiceMetrics().PrinterFaults(TPrinterFunction::CardInOver), 0u);
    EXPECT_TRUE(Write(device, "4"));
    qunsetenv("MEMBER_RECORDING_PRINTER");
}
#endif

#ifdef _WIN32
TEST_F(PrinterHostLibraryTest, ADllPlantedInTheWorkingFolderIsNotLoadedByTheVendorLibrary)
{
    // Any DLL will do as the plant; here the recording library itself.
    const QString planted = QStringLiteral("member-planted.dll");
    const QString working = QString::fromStdString(Dir());
    ASSERT_TRUE(QFile::copy(QStringLiteral(RECORDING_PRINTER_LIBRARY), working + planted));
    const QString before = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(working));
    // Windows' default search would find it in the working folder.
    EXPECT_NE(LoadLibraryExA("member-planted.dll", nullptr, 0), nullptr);

    const std::string calls = Dir() + "calls.txt";
    qputenv("MEMBER_RECORDING_PRINTER", QByteArray::fromStdString(calls));
    qputenv("MEMBER_RECORDING_PRINTER_LOADS", planted.toUtf8());
    TPrinterHostSettings settings = Settings();
    settings.LibraryPath = RECORDING_PRINTER_LIBRARY;
    {
        TPrinterHostLibrary library(settings);
        TTRWGII2010DMember device(library);
        EXPECT_TRUE(device.OpenPort());
    }
    qunsetenv("MEMBER_RECORDING_PRINTER_LOADS");
    qunsetenv("MEMBER_RECORDING_PRINTER");
    QDir::setCurrent(before);
    EXPECT_THAT(ReadFileBytes(calls), HasSubstr("LoadLibrary(member-planted.dll)=refused"));
}
#endif

} // namespace
