#include "base/TextCodec.h"
#include "support/FreePort.h"
#include "support/LoopbackClient.h"
#include "support/ProcessEnd.h"
#include "support/TestEnvironment.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QGuiApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <cstdio>

namespace {

const std::string kRequest = Framed(R"(<Request type="ReadMemberCard"><InputPassword>0</InputPassword></Request>)");

// The real program, copied into a folder of its own so its Option.ini and
// log file are the test's, running on the test's own platform on a free port.
class TRunningProgram {
public:
    explicit TRunningProgram(uint16_t port)
        : m_port(port)
    {
        // Every binary of the build lands in one folder.
        const QString name = QStringLiteral(MEMBER_PROGRAM_FILE);
        const QString built = QCoreApplication::applicationDirPath() + QStringLiteral("/") + name;
        m_program = m_dir.filePath(name);
        QFile::copy(built, m_program);
        WriteFileBytes(m_dir.filePath(QStringLiteral("Option.ini")).toStdString(),
            "[SysOption]\r\nMemberPortNo=" + std::to_string(port) + "\r\n");

        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        // The platform this test runs on: offscreen here, Windows' own under Wine.
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QGuiApplication::platformName());
        m_process.setProcessEnvironment(environment);
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        PrepareEndRequests(m_process);
        m_process.start(m_program, {});
    }

    ~TRunningProgram()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished();
        }
    }

    bool Started() { return m_process.waitForStarted(); }

    // Waits (up to ten seconds) until the member port answers a request.
    bool Answers()
    {
        for (int attempt = 0; attempt < 100; ++attempt) {
            if (Exchange(m_port, kRequest).Bytes.find("<ResultCode>") != std::string::npos) {
                return true;
            }
            QThread::msleep(100);
        }
        return false;
    }

    // Asks the program to end and waits (up to twenty seconds) for it.
    bool EndsOn(EEndRequest request)
    {
        QElapsedTimer clock;
        clock.start();
        if (!RequestEnd(m_process, request)) {
            return false;
        }
        const bool ended = m_process.waitForFinished(20000);
        std::printf("[ figure ] %s to exit: %lld ms\n", EndRequestName(request), static_cast<long long>(clock.elapsed()));
        return ended;
    }

    QProcess& Process() { return m_process; }

    std::string Log() const
    {
        const QStringList logs = QDir(m_dir.path()).entryList({ QStringLiteral("*.LOG") }, QDir::Files);
        return logs.isEmpty() ? std::string() : ReadFileBytes(m_dir.filePath(logs.front()).toStdString());
    }

private:
    QTemporaryDir m_dir;
    QString m_program;
    uint16_t m_port;
    QProcess m_process;
};

TEST(ProgramSignalTest, SigtermAndSigintEndTheProgramInOrderWithExitCodeZero)
{
    for (const EEndRequest request : EndRequests()) {
        SCOPED_TRACE(EndRequestName(request));
        const uint16_t port = FreePort();
        TRunningProgram program(port);
        ASSERT_TRUE(program.Started());
        ASSERT_TRUE(program.Answers());

        ASSERT_TRUE(program.EndsOn(request));
        EXPECT_EQ(program.Process().exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(program.Process().exitCode(), 0);
        EXPECT_FALSE(Exchange(port, kRequest).Connected);
        const std::vector<std::string> log = LogEntries(program.Log());
        // The port is closed after the listener has stopped, so after the
        // last request's entries.
        ASSERT_GE(log.size(), 2u);
        EXPECT_EQ(log[log.size() - 2], Gbk("读卡失败"));
        EXPECT_EQ(log.back(), Gbk("串口关闭失败."));
    }
}

} // namespace
