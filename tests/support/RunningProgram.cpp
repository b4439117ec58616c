#include "support/RunningProgram.h"

#include "support/LoopbackClient.h"
#include "support/RuntimeLibraries.h"
#include "support/TestEnvironment.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QThread>

#include <cstdio>

namespace {

// Every binary of the build lands in one folder, this test's too.
QString Built(const char* name)
{
    return QCoreApplication::applicationDirPath() + QLatin1Char('/') + QString::fromLatin1(name);
}

} // namespace

std::string ReadRequest()
{
    return Framed(R"(<Request type="ReadMemberCard"><InputPassword>0</InputPassword></Request>)");
}

TRunningProgram::TRunningProgram(uint16_t port, const std::string& optionLines)
    : m_port(port)
    , m_environment(QProcessEnvironment::systemEnvironment())
{
    m_program = m_dir.filePath(QStringLiteral(MEMBER_PROGRAM_FILE));
    QFile::copy(Built(MEMBER_PROGRAM_FILE), m_program);
    QFile::copy(Built(PRINTER_HOST_FILE), m_dir.filePath(QStringLiteral(PRINTER_HOST_FILE)));
    PlaceRuntimeLibraries(m_dir.path().toStdString());
    WriteFileBytes(m_dir.filePath(QStringLiteral("Option.ini")).toStdString(),
        "[SysOption]\r\nMemberPortNo=" + std::to_string(port) + "\r\n" + optionLines);
    UseServerDisplay(m_environment);
}

TRunningProgram::~TRunningProgram()
{
    if (m_process.state() != QProcess::NotRunning) {
        m_process.kill();
        m_process.waitForFinished();
    }
}

std::string TRunningProgram::Dir() const
{
    return m_dir.path().toStdString() + "/";
}

void TRunningProgram::WithSimulator()
{
    QFile::copy(Built(SIMULATOR_FILE), m_dir.filePath(QStringLiteral(SIMULATOR_FILE)));
}

bool TRunningProgram::Start(const QStringList& arguments)
{
    m_process.setProcessEnvironment(m_environment);
    m_process.setWorkingDirectory(m_dir.path());
    PrepareEndRequests(m_process);
    m_process.start(m_program, arguments);
    return m_process.waitForStarted();
}

bool TRunningProgram::Answers()
{
    for (int attempt = 0; attempt < 100; ++attempt) {
        if (Exchange(m_port, ReadRequest()).Bytes.find("<ResultCode>") != std::string::npos) {
            return true;
        }
        QThread::msleep(100);
    }
    return false;
}

bool TRunningProgram::EndsOn(EEndRequest request)
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

bool TRunningProgram::Ends(int timeoutMs)
{
    return m_process.waitForFinished(timeoutMs);
}

std::string TRunningProgram::StandardError()
{
    m_stderr += m_process.readAllStandardError().toStdString();
    return m_stderr;
}

std::string TRunningProgram::Log() const
{
    const QStringList logs = QDir(m_dir.path()).entryList({ QStringLiteral("*.LOG") }, QDir::Files);
    return logs.isEmpty() ? std::string() : ReadFileBytes(m_dir.filePath(logs.front()).toStdString());
}
