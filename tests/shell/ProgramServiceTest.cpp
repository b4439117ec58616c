// The built program as a service manager, a script or an administrator
// meets it: no display, a command line, a port that may be taken, a run
// that passes midnight.

#include "base/FileDescriptor.h"
#include "base/TextCodec.h"
#include "support/FreePort.h"
#include "support/LoopbackClient.h"
#include "support/RunningProgram.h"
#include "support/TestEnvironment.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLibraryInfo>
#include <QTemporaryDir>
#include <QThread>

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>


namespace {

bool Exists(const std::string& path)
{
    return QFile::exists(QString::fromStdString(path));
}

// A socket standing in for systemd's notification socket (NOTIFY_SOCKET).
class TNotifySocket {
public:
    TNotifySocket()
        : m_path(m_dir.filePath(QStringLiteral("notify")).toStdString())
        , m_fd(socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0))
    {
        sockaddr_un address {};
        address.sun_family = AF_UNIX;
        m_path.copy(address.sun_path, sizeof address.sun_path - 1);
        bind(m_fd.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address);
    }

    const std::string& Path() const { return m_path; }

    // The next message, or empty when none comes within timeoutMs.
    std::string Next(int timeoutMs)
    {
        pollfd p { m_fd.get(), POLLIN, 0 };
        if (poll(&p, 1, timeoutMs) != 1) {
            return {};
        }
        char buffer[4096];
        const ssize_t n = recv(m_fd.get(), buffer, sizeof buffer, 0);
        return n > 0 ? std::string(buffer, static_cast<size_t>(n)) : std::string();
    }

private:
    QTemporaryDir m_dir;
    std::string m_path;
    TFileDescriptor m_fd;
};

TEST(ProgramServiceTest, CommandLineAnswersHelpAndVersionWithoutStartingAndRefusesTheRest)
{
    const struct {
        QStringList arguments;
        int exitCode;
        std::string out;
        std::string err;
    } cases[] = {
        { { "--version" }, 0, "member-interface " MEMBER_VERSION "\n", "" },
        { { "-v" }, 0, "member-interface " MEMBER_VERSION "\n", "" },
        { { "--help" }, 0, "Usage: member-interface [--data-dir DIR] [--help | --version]\n", "" },
        { { "-h" }, 0, "Usage: member-interface [--data-dir DIR] [--help | --version]\n", "" },
        { { "--verison" }, 64, "", "member-interface: unknown argument '--verison' (see --help)\n" },
        { { "--data-dir" }, 64, "", "member-interface: --data-dir needs a folder (see --help)\n" },
        { { "--data-dir=" }, 64, "", "member-interface: --data-dir needs a folder (see --help)\n" },
        { { "--data-dir", "no-such-folder" }, 64, "",
            "member-interface: data folder 'no-such-folder' is not an existing folder\n" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arguments.join(QLatin1Char(' ')).toStdString());
        const uint16_t port = FreePort();
        TRunningProgram program(port, "LogKeepDays=1\r\n");
        WriteFileBytes(program.Dir() + "20200101.LOG", "old\r\n");
        // An X display that is not there: answering needs none.
        if (c.exitCode == 0) {
            program.Environment().insert(QStringLiteral("DISPLAY"), QStringLiteral(":97"));
        }
        ASSERT_TRUE(program.Start(c.arguments));
        ASSERT_TRUE(program.Ends(10000));
        EXPECT_EQ(program.Process().exitCode(), c.exitCode);
        const std::string out = program.Process().readAllStandardOutput().toStdString();
        EXPECT_EQ(out.substr(0, c.out.size()), c.out);
        // The refusal is the only line: nothing about the display before it.
        EXPECT_EQ(program.StandardError(), c.err);
        // Nothing started: no log written, none removed, nothing listening.
        EXPECT_EQ(program.Log(), "old\r\n");
        EXPECT_FALSE(Exchange(port, ReadRequest()).Connected);
    }
}

TEST(ProgramServiceTest, WithADataFolderOptionsLogsAndTheSimulatorsStateLiveThereNotBesideTheProgram)
{
    const uint16_t port = FreePort();
    TRunningProgram program(port);
    program.WithSimulator();
    QTemporaryDir data;
    const std::string dataDir = data.path().toStdString() + "/";
    // The port is known only from the data folder's Option.ini.
    ASSERT_TRUE(QFile::rename(QString::fromStdString(program.Dir() + "Option.ini"),
        QString::fromStdString(dataDir + "Option.ini")));
    WriteFileBytes(dataDir + "CardPrinter.ini", "[Card]\r\nPresent=1\r\nBlock1=00012345\r\n");
    ASSERT_TRUE(program.Start({ QStringLiteral("--data-dir"), data.path() }));
    ASSERT_TRUE(program.Answers()) << program.StandardError();
    const std::string answer = Exchange(port, ReadRequest()).Bytes;
    EXPECT_NE(answer.find("<CardNo>00012345</CardNo>"), std::string::npos) << answer;
    ASSERT_TRUE(program.EndsOn());

    EXPECT_EQ(program.Log(), "");
    const QStringList logs = QDir(data.path()).entryList({ QStringLiteral("*.LOG") }, QDir::Files);
    ASSERT_EQ(logs.size(), 1);
    EXPECT_NE(ReadFileBytes(data.filePath(logs.front()).toStdString()).find("00012345"), std::string::npos);
    for (const char* name : { "Option.ini", "CardPrinter.ini" }) {
        EXPECT_FALSE(Exists(program.Dir() + name)) << name;
    }
}

TEST(ProgramServiceTest, QtPluginFoldersPlantedBesideTheProgramAreNeverSearched)
{
    const uint16_t port = FreePort();
    // The printer library in the program's own process: the one headless
    // run that loads a platform plugin (for the simulator's card face).
    TRunningProgram program(port, "IsolatePrinterLibrary=0\r\n");
    for (const char* folder : { "platforms", "imageformats", "styles" }) {
        ASSERT_TRUE(QDir().mkpath(QString::fromStdString(program.Dir() + folder)));
        WriteFileBytes(program.Dir() + folder + "/libplanted.so", "planted");
    }
    // Qt then names every plugin folder it searches.
    program.Environment().insert(QStringLiteral("QT_DEBUG_PLUGINS"), QStringLiteral("1"));
    ASSERT_TRUE(program.Start());
    ASSERT_TRUE(program.Answers());
    ASSERT_TRUE(program.EndsOn());

    const std::string err = program.StandardError();
    const std::string qtPlugins = QLibraryInfo::path(QLibraryInfo::PluginsPath).toStdString();
    EXPECT_NE(err.find(qtPlugins + "/platforms"), std::string::npos) << err;
    for (const char* folder : { "platforms", "imageformats", "styles" }) {
        EXPECT_EQ(err.find(program.Dir() + folder), std::string::npos) << folder << "\n" << err;
    }
    EXPECT_EQ(err.find("libplanted"), std::string::npos) << err;
}

TEST(ProgramServiceTest, WithoutADisplayItServesReportsReadyOnceListeningAndASecondCopyOnThePortEnds)
{
    const uint16_t port = FreePort();
    TNotifySocket firstManager;
    TRunningProgram first(port);
    first.Environment().insert(QStringLiteral("NOTIFY_SOCKET"), QString::fromStdString(firstManager.Path()));
    ASSERT_TRUE(first.Start());
    EXPECT_TRUE(firstManager.Next(10000).starts_with("READY=1\nSTATUS=listening on port " + std::to_string(port) + "; "));
    EXPECT_TRUE(Exchange(port, ReadRequest()).Connected);

    TNotifySocket secondManager;
    TRunningProgram second(port);
    second.Environment().insert(QStringLiteral("NOTIFY_SOCKET"), QString::fromStdString(secondManager.Path()));
    QElapsedTimer clock;
    clock.start();
    ASSERT_TRUE(second.Start());
    ASSERT_TRUE(second.Ends(10000));
    std::printf("[ figure ] second copy on a taken port ended after %lld ms\n", static_cast<long long>(clock.elapsed()));
    EXPECT_EQ(second.Process().exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second.Process().exitCode(), 69);
    const std::string bindError = "Could not bind socket. Address and port are already in use.";
    EXPECT_NE(second.StandardError().find("member-interface: cannot listen on port " + std::to_string(port) + ": "
                  + bindError + "\n"),
        std::string::npos)
        << second.StandardError();
    // Said once, not once more as the box nobody could answer.
    EXPECT_EQ(second.StandardError().find(bindError), second.StandardError().rfind(bindError));
    // The box nobody could have answered is a line of the log as well.
    const std::vector<std::string> log = LogEntries(second.Log());
    EXPECT_NE(std::find(log.begin(), log.end(), Gbk("Velmora会员卡接口: ") + bindError), log.end());
    EXPECT_EQ(secondManager.Next(0).find("READY=1"), std::string::npos);

    EXPECT_TRUE(first.Answers());
    ASSERT_TRUE(first.EndsOn());
    EXPECT_EQ(first.Process().exitCode(), 0);
    EXPECT_EQ(firstManager.Next(1000), "STOPPING=1");
}

// The process's mapped files that lie in a folder named platforms: Qt's
// platform plugins.
std::vector<std::string> PlatformPlugins(int64_t pid)
{
    std::vector<std::string> plugins;
    QFile maps(QStringLiteral("/proc/%1/maps").arg(pid));
    if (!maps.open(QIODevice::ReadOnly)) {
        return {"(cannot read the maps of " + std::to_string(pid) + ")"};
    }
    for (const QByteArray& line : maps.readAll().split('\n')) {
        if (line.contains("/platforms/")) {
            plugins.push_back(line.toStdString());
        }
    }
    return plugins;
}

// Card steps go to the printer host, which draws the card face; the program
// itself has no window and so no platform to load.
TEST(ProgramServiceTest, WithoutADisplayItServesThroughThePrinterHostAndLoadsNoPlatformPlugin)
{
    const uint16_t port = FreePort();
    TRunningProgram program(port, "IsolatePrinterLibrary=1\r\n");
    program.WithSimulator();
    WriteFileBytes(program.Dir() + "CardPrinter.ini", "[Card]\r\nPresent=1\r\nBlock1=00012345\r\n");
    ASSERT_TRUE(program.Start());
    ASSERT_TRUE(program.Answers()) << program.StandardError();
    const std::string answer = Exchange(port, ReadRequest()).Bytes;
    EXPECT_NE(answer.find("<CardNo>00012345</CardNo>"), std::string::npos) << answer;
    EXPECT_EQ(PlatformPlugins(program.Process().processId()), std::vector<std::string> {});
    ASSERT_TRUE(program.EndsOn());
    EXPECT_EQ(program.Process().exitCode(), 0);
    EXPECT_EQ(program.StandardError().find("Qt:"), std::string::npos) << program.StandardError();
}

// Whoever reads the journal, `systemctl status` or the day's log learns which
// printer library drives the printer, or why none does; standard error holds
// the program's own lines only.
TEST(ProgramServiceTest, StartSaysWhichPrinterLibraryItUses)
{
    const struct {
        const char* name;
        const char* kind;
        QString library;
        bool portOpens;
    } cases[] = {
        {"none", "none", QString(), false},
        {"simulator", "simulator", QCoreApplication::applicationDirPath() + QStringLiteral("/" SIMULATOR_FILE), true},
        {"vendor", "vendor", QStringLiteral(VENDOR_STAND_IN), false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const uint16_t port = FreePort();
        TRunningProgram program(port);
        const std::string path = program.Dir() + SIMULATOR_FILE;
        if (!c.library.isEmpty()) {
            ASSERT_TRUE(QFile::copy(c.library, QString::fromStdString(path)));
        }
        TNotifySocket manager;
        program.Environment().insert(QStringLiteral("NOTIFY_SOCKET"), QString::fromStdString(manager.Path()));
        ASSERT_TRUE(program.Start());
        const std::string ready = manager.Next(10000);
        ASSERT_TRUE(program.EndsOn());

        const std::string library = std::string("printer library: ") + c.kind + " " + (c.library.isEmpty() ? "(" : "") + path;
        EXPECT_TRUE(ready.starts_with("READY=1\nSTATUS=listening on port " + std::to_string(port) + "; " + library))
            << ready;
        const std::string err = program.StandardError();
        EXPECT_TRUE(err.starts_with("member-interface: no display; serving without a window\nmember-interface: "
            + library)) << err;
        // The program's own lines only: the start's, the port that did not
        // open as a printer fault, the serving line with the data folder,
        // and the stop with its reason.
        const std::string fault = "member-interface: printer fault: " + std::string("打开串口失败.") + "\n";
        EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), c.portOpens ? 4 : 5) << err;
        EXPECT_EQ(err.find(fault) != std::string::npos, !c.portOpens) << err;
        EXPECT_NE(err.find("member-interface: version " MEMBER_VERSION " serving: listening on port "
                      + std::to_string(port) + "; " + library),
            std::string::npos)
            << err;
        EXPECT_NE(err.find("; data folder " + program.Dir().substr(0, program.Dir().size() - 1) + "\n"),
            std::string::npos)
            << err;
        EXPECT_TRUE(err.ends_with("member-interface: stopping: SIGTERM\n")) << err;

        const std::vector<std::string> log = LogEntries(program.Log());
        const auto opened = std::find(log.begin(), log.end(), Gbk("打开串口失败."));
        if (c.library.isEmpty()) {
            ASSERT_NE(opened, log.end());
            ASSERT_NE(opened + 1, log.end());
            EXPECT_TRUE((opened + 1)->starts_with(Gbk("打印机库未加载: ") + path)) << *(opened + 1);
        } else {
            const char* const kind = c.library == QStringLiteral(VENDOR_STAND_IN) ? "打印机库: 厂商库 " : "打印机库: 模拟器 ";
            EXPECT_NE(std::find(log.begin(), log.end(), Gbk(kind) + path), log.end());
            EXPECT_EQ(std::find_if(log.begin(), log.end(), [](const std::string& line) {
                return line.starts_with(Gbk("打印机库未加载"));
            }), log.end());
        }
    }
}

TEST(ProgramServiceTest, ARunPassingMidnightMovesToTheNextDaysLogAndRemovesExpiredDays)
{
    if (std::string(FAKETIME_LIBRARY).empty()) {
        GTEST_SKIP() << "libfaketime is not installed";
    }
    const uint16_t port = FreePort();
    TRunningProgram program(port, "LogKeepDays=3\r\n");
    const std::string dir = program.Dir();
    // 20261203 is three days old on the 6th and four on the 7th.
    for (const char* name : { "20200101.LOG", "20200101.LOG.bak", "notes.txt", "20261203.LOG", "20261204.LOG" }) {
        WriteFileBytes(dir + name, "kept until now\r\n");
    }
    QProcessEnvironment& environment = program.Environment();
    environment.insert(QStringLiteral("LD_PRELOAD"), QStringLiteral(FAKETIME_LIBRARY));
    // A sanitizer build wants its runtime first; the clock library does not
    // intercept anything it needs.
    environment.insert(QStringLiteral("ASAN_OPTIONS"),
        environment.value(QStringLiteral("ASAN_OPTIONS")) + QStringLiteral(":verify_asan_link_order=0"));
    environment.insert(QStringLiteral("FAKETIME"), QStringLiteral("@2026-12-06 23:59:50"));
    // Eight hours east of Greenwich, so local midnight is not UTC's.
    environment.insert(QStringLiteral("TZ"), QStringLiteral("CST-8"));
    QElapsedTimer clock;
    clock.start();
    ASSERT_TRUE(program.Start());
    ASSERT_TRUE(program.Answers());
    ASSERT_LT(clock.elapsed(), 9000) << "the request before midnight came too late";
    EXPECT_FALSE(Exists(dir + "20200101.LOG"));
    for (const char* name : { "20200101.LOG.bak", "notes.txt", "20261203.LOG", "20261204.LOG" }) {
        EXPECT_TRUE(Exists(dir + name)) << name;
    }

    QThread::msleep(static_cast<unsigned long>(std::max<qint64>(0, 11000 - clock.elapsed())));
    const std::string afterMidnight
        = Framed(R"(<Request type="ReadMemberCard"><InputPassword>after midnight</InputPassword></Request>)");
    EXPECT_NE(Exchange(port, afterMidnight).Bytes.find("<ResultCode>"), std::string::npos);
    ASSERT_TRUE(program.EndsOn());

    const std::string before = ReadFileBytes(dir + "20261206.LOG");
    const std::string after = ReadFileBytes(dir + "20261207.LOG");
    EXPECT_NE(before.find("<InputPassword>0</InputPassword>"), std::string::npos) << before;
    EXPECT_EQ(before.find("after midnight"), std::string::npos);
    EXPECT_EQ(after.rfind("2026-12-07 00:00:", 0), 0u) << after;
    EXPECT_NE(after.find("after midnight"), std::string::npos) << after;
    EXPECT_FALSE(Exists(dir + "20261203.LOG"));
    for (const char* name : { "20200101.LOG.bak", "notes.txt", "20261204.LOG" }) {
        EXPECT_TRUE(Exists(dir + name)) << name;
    }
}

} // namespace
