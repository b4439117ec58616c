// The built program with its printer host and the printer simulator beside
// it, driven over TCP the way a hotel's PMS drives it. Each test runs its own copy of the
// program in a folder of its own, so Option.ini, the log, CardPrinter.ini
// and the card face are private to it.

#include "base/ProfileFile.h"
#include "base/TextCodec.h"
#include "support/FreePort.h"
#include "support/LoopbackClient.h"
#include "support/ProcessEnd.h"
#include "support/RuntimeLibraries.h"
#include "support/TestEnvironment.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <set>
#include <thread>

namespace {

const std::string kProgram = MEMBER_PROGRAM_FILE;
const std::string kHost = PRINTER_HOST_FILE;
const std::string kLibrary = SIMULATOR_FILE;
const std::string kNoCardText = "No target card(only when using a no card status command)C";

std::string WriteRequest(const std::string& cardNo)
{
    return "<Request type=\"WriteMemberCard\"><RequestID>7</RequestID><CardNo>" + cardNo
        + "</CardNo><ExpireDate>2030-12-31</ExpireDate><GuestName>张三</GuestName><Score>10</Score></Request>";
}

const std::string kReadRequest = "<Request type=\"ReadMemberCard\"><InputPassword>0</InputPassword></Request>";

// The test dialog's sample; &#13; keeps its CRs through the XML parser.
const std::string kPrintRequest = "<Request type=\"PrintMemberCard\"><RequestID>8</RequestID><CardNo>88888888</CardNo>"
                                  "<Content>&#13;\n当前消费:100&#13;\n卡内余额:300</Content></Request>";

std::string Response(const std::string& code, const std::string& message, const std::string& cardNo = "")
{
    std::string text = "<DoorResponse><RequestID></RequestID><ResultCode>" + code + "</ResultCode><ResultMessage>"
        + message + "</ResultMessage><CardNo>" + cardNo
        + "</CardNo><ExpireDate></ExpireDate><GuestName></GuestName><Score></Score><Password></Password>"
          "</DoorResponse>";
    text.push_back('\0');
    return text;
}

class PrinterEndToEndTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        m_binDir = std::string(MEMBER_BIN_DIR) + "/";
        m_port = FreePort();
        ASSERT_NE(m_port, 0);
        WriteOptions("");
    }

    // Option.ini with the test's port and the given MemberOption lines.
    void WriteOptions(const std::string& memberLines) const
    {
        WriteFileBytes(Path("Option.ini"),
            "[SysOption]\r\nMemberPortNo=" + std::to_string(m_port) + "\r\n[MemberOption]\r\n" + memberLines);
    }

    std::string Path(const std::string& name) const { return m_dir.path().toStdString() + "/" + name; }

    void Copy(const std::string& name) const
    {
        ASSERT_TRUE(QFile::copy(QString::fromStdString(m_binDir + name), QString::fromStdString(Path(name))));
        QFile::setPermissions(QString::fromStdString(Path(name)),
            QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup | QFile::ExeGroup);
    }

    void SetPrinterState(const std::string& section, const std::string& key, const std::string& value) const
    {
        TProfileFile ini(Path("CardPrinter.ini"));
        ini.WriteString(section, key, value);
        ini.UpdateFile();
    }

    void Start(bool withSimulator = true)
    {
        Copy(kProgram);
        Copy(kHost);
        PlaceRuntimeLibraries(Path(""));
        if (withSimulator) {
            Copy(kLibrary);
        }
        m_program.setStandardOutputFile(QString::fromStdString(Path("stdout.txt")));
        m_program.setStandardErrorFile(QString::fromStdString(Path("stderr.txt")));
        PrepareEndRequests(m_program);
        m_program.start(QString::fromStdString(Path(kProgram)), {});
        ASSERT_TRUE(m_program.waitForStarted()) << m_program.errorString().toStdString();
        ASSERT_TRUE(WaitUntilListening(m_port)) << ReadFileBytes(Path("stderr.txt"));
    }

    // SIGTERM (Ctrl+C on Windows) ends the program in order, with exit code 0.
    void Stop()
    {
        ASSERT_TRUE(RequestEnd(m_program, EndRequests().front()));
        ASSERT_TRUE(m_program.waitForFinished(10000));
        EXPECT_EQ(m_program.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(m_program.exitCode(), 0);
    }

    std::string Send(const std::string& request) const
    {
        const TLoopbackReply reply = Exchange(m_port, Framed(request));
        EXPECT_TRUE(reply.ClosedByServer);
        return reply.Bytes;
    }

    // The log's entries in UTF-8; only one log file exists in the folder.
    std::vector<std::string> Log() const
    {
        const QStringList logs = QDir(m_dir.path()).entryList({QStringLiteral("*.LOG")});
        EXPECT_EQ(logs.size(), 1);
        if (logs.isEmpty()) {
            return {};
        }
        std::vector<std::string> lines;
        for (const std::string& entry : LogEntries(ReadFileBytes(Path(logs.first().toStdString())))) {
            lines.push_back(TextCodec::GbkToUtf8(entry));
        }
        return lines;
    }

    // The log without the arrival and Content lines, which carry the
    // requests, and without the start's line naming the simulator (checked
    // once, in the first test).
    std::vector<std::string> Outcomes() const
    {
        std::vector<std::string> lines = Log();
        std::erase_if(lines, [](const std::string& line) {
            return line.starts_with("收到消息") || line.starts_with("Content=") || line.starts_with("打印机库: ");
        });
        return lines;
    }

    uint16_t Port() const { return m_port; }
    QProcess& Program() { return m_program; }

private:
    QTemporaryDir m_dir;
    std::string m_binDir;
    uint16_t m_port = 0;
    // Declared after the folder: a program still running when the test ends
    // is killed before its folder goes.
    QProcess m_program;
};

TEST_F(PrinterEndToEndTest, WritesReadsAndPrintsACardOnTheSimulator)
{
    Start();
    const std::string written = Send(WriteRequest("00012345"));
    EXPECT_EQ(written.size(), 233u);
    EXPECT_EQ(written, Response("200", "写卡成功", "00012345"));
    EXPECT_EQ(Send(kReadRequest), Response("200", "读卡成功", "00012345"));
    EXPECT_EQ(Send(kPrintRequest), Response("200", "打印卡成功"));
    Stop();

    EXPECT_EQ(ReadFileBytes(Path("CardFace.txt")), "y=23\t当前消费:100\ny=47\t卡内余额:300\n");
    EXPECT_EQ(Log().front(), "打印机库: 模拟器 " + QDir::toNativeSeparators(QString::fromStdString(Path(kLibrary))).toStdString());
    // Drawn in the printer host as in the program.
    EXPECT_TRUE(QFile::exists(QString::fromStdString(Path("CardFace.png"))));
    const std::vector<std::string> expected = {
        "打开串口成功.",
        "写数据块成功.卡号:00012345",
        "写卡成功,卡号为:00012345",
        "读卡成功.卡号:00012345",
        "读卡成功，卡号为：00012345",
        "当前消费:100",
        "卡内余额:300",
        "擦除打印成功.",
        "打印卡成功",
        "串口关闭成功.",
    };
    EXPECT_EQ(Outcomes(), expected);
}

TEST_F(PrinterEndToEndTest, ALineWidthTheFileCannotReadPrintsAtTheDefaultWidth)
{
    // "x10" would be 16 to the request protocol; to the options file it is
    // no number, so lines are cut at the default 24 bytes.
    WriteOptions("Rowlen=x10\r\n");
    Start();
    EXPECT_EQ(Send("<Request type=\"PrintMemberCard\"><RequestID>9</RequestID><CardNo>1</CardNo>"
                   "<Content>123456789012345678901234567</Content></Request>"),
        Response("200", "打印卡成功"));
    Stop();
    EXPECT_EQ(ReadFileBytes(Path("CardFace.txt")), "y=23\t123456789012345678901234\ny=47\t567\n");
}

TEST_F(PrinterEndToEndTest, MissingAndJammedCardsFailWithTheirStatusTexts)
{
    WriteFileBytes(Path("CardPrinter.ini"), "[Card]\r\nPresent=0\r\n");
    Start();
    EXPECT_EQ(Send(WriteRequest("00012345")), Response("500", "写卡失败", "00012345"));

    SetPrinterState("Card", "Present", "1");
    SetPrinterState("Faults", "CardInOver", "56");
    EXPECT_EQ(Send(WriteRequest("00012346")), Response("500", "写卡失败", "00012346"));
    EXPECT_EQ(Send(kPrintRequest), Response("500", "打印卡失败"));
    Stop();

    const std::vector<std::string> expected = {
        "打开串口成功.",
        "进卡失败:" + kNoCardText,
        "出卡失败:" + kNoCardText,
        "写卡失败,卡号为:00012345",
        "进卡失败:Card jam B",
        "出卡失败:" + kNoCardText,
        "写卡失败,卡号为:00012346",
        "进卡失败:Card jam B",
        "出卡失败:" + kNoCardText,
        "打印卡失败",
        "串口关闭成功.",
    };
    EXPECT_EQ(Outcomes(), expected);
}

TEST_F(PrinterEndToEndTest, WithoutThePrinterLibraryEveryRequestFails)
{
    Start(false);
    EXPECT_EQ(Send(WriteRequest("00012345")), Response("500", "写卡失败", "00012345"));
    EXPECT_EQ(Send(kReadRequest), Response("500", "读卡失败"));
    EXPECT_EQ(Send(kPrintRequest), Response("500", "打印卡失败"));
    Stop();

    EXPECT_NE(ReadFileBytes(Path("stderr.txt")).find(kLibrary), std::string::npos);
    const std::vector<std::string> lines = Outcomes();
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.front(), "打开串口失败.");
    // Why the port did not open, so the lines after it are not taken for a
    // cable fault.
    EXPECT_TRUE(lines[1].starts_with("打印机库未加载: ")) << lines[1];
    EXPECT_NE(lines[1].find("RCPV11_VCDLL"), std::string::npos) << lines[1];
    EXPECT_EQ(lines[2], "进卡失败:串口句柄为空");
    EXPECT_EQ(lines.back(), "串口关闭失败.");
}

TEST_F(PrinterEndToEndTest, ConcurrentWritesRunOneTransactionAtATime)
{
    // With each printer call taking 50 ms, unserialised transactions would
    // overlap on the port (status 2) or take a card in twice (status 65).
    WriteFileBytes(Path("CardPrinter.ini"), "[Faults]\r\nDelayMs=50\r\n");
    Start();
    constexpr int kRequests = 20;
    std::vector<std::string> replies(kRequests);
    std::vector<std::thread> clients;
    for (int i = 0; i < kRequests; ++i) {
        clients.emplace_back([&, i] {
            replies[i] = Exchange(Port(), Framed(WriteRequest(std::to_string(20000000 + i))), 0, 30000).Bytes;
        });
    }
    for (std::thread& client : clients) {
        client.join();
    }
    Stop();

    for (int i = 0; i < kRequests; ++i) {
        EXPECT_EQ(replies[i], Response("200", "写卡成功", std::to_string(20000000 + i)));
    }
    std::set<std::string> written;
    for (const std::string& line : Outcomes()) {
        EXPECT_EQ(line.find("失败"), std::string::npos) << line;
        if (line.starts_with("写数据块成功.卡号:")) {
            written.insert(line);
        }
    }
    EXPECT_EQ(written.size(), size_t(kRequests));
}

TEST_F(PrinterEndToEndTest, StoppingDuringAHungCardWriteEndsTheProgramInTime)
{
#ifdef _WIN32
    GTEST_SKIP() << "Wine does not deliver the console's Ctrl+C to a program whose device thread waits in a "
                    "hung printer call in time; the host's give-up is tested in PrinterHostLibraryTest";
#endif
    Start();
    // A slow printer whose write then hangs: the stop's five-second wait
    // ends while the write is still within its own time-out (4 s of delay
    // plus 5 s), so it is the stop that gives the call up. Left to itself
    // the transaction would take 13 s.
    SetPrinterState("Faults", "DelayMs", "4000");
    SetPrinterState("Faults", "Hang", "RfidCardRequestAndWriteData");
    std::thread client([&] { Exchange(Port(), Framed(WriteRequest("00012345")), 0, 30000); });
    std::this_thread::sleep_for(std::chrono::milliseconds(500));

    QElapsedTimer clock;
    clock.start();
    ASSERT_TRUE(RequestEnd(Program(), EndRequests().front()));
    const bool ended = Program().waitForFinished(8000);
    std::printf("[ figure ] %s during a hung call to exit: %lld ms\n", EndRequestName(EndRequests().front()),
        static_cast<long long>(clock.elapsed()));
    client.join();
    ASSERT_TRUE(ended);
    EXPECT_EQ(Program().exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(Program().exitCode(), 0);

    // The stop's own line comes from the main thread while the device
    // thread logs the given-up call: the two may interleave either way.
    const std::string stopLine = "Velmora会员卡接口: Terminate Thread Timeout.";
    std::vector<std::string> lines = Outcomes();
    EXPECT_EQ(std::erase(lines, stopLine), 1u);
    const std::vector<std::string> expected = {
        "打印机库无响应:RfidCardRequestAndWriteData,停止时放弃,已结束进程.",
        "写数据块失败:等待命令回复超时",
        "出卡失败:串口句柄为空",
        "写卡失败,卡号为:00012345",
        "串口关闭成功.",
    };
    ASSERT_GE(lines.size(), expected.size());
    EXPECT_EQ(std::vector<std::string>(lines.end() - static_cast<std::ptrdiff_t>(expected.size()), lines.end()),
        expected);
}

} // namespace
