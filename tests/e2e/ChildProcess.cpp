#include "ChildProcess.h"

#include "support/LoopbackClient.h"
#include "support/ProcessEnd.h"

#include <QFileInfo>

#include <chrono>
#include <thread>

TChildProcess::TChildProcess(const std::string& program, const std::string& stdoutPath, const std::string& stderrPath)
{
    const QString path = QString::fromStdString(program);
    m_process.setWorkingDirectory(QFileInfo(path).absolutePath());
    m_process.setStandardOutputFile(QString::fromStdString(stdoutPath));
    m_process.setStandardErrorFile(QString::fromStdString(stderrPath));
    PrepareEndRequests(m_process);
    m_process.start(path, {});
    m_started = m_process.waitForStarted();
}

TChildProcess::~TChildProcess()
{
    if (m_process.state() != QProcess::NotRunning) {
        m_process.kill();
        m_process.waitForFinished();
    }
}

int TChildProcess::Terminate(int timeoutMs)
{
    if (!m_started || !RequestEnd(m_process, EndRequests().front())) {
        return -1;
    }
    if (!m_process.waitForFinished(timeoutMs) || m_process.exitStatus() != QProcess::NormalExit) {
        return -1;
    }
    return m_process.exitCode();
}

bool WaitForPort(uint16_t port, int timeoutMs)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < deadline) {
        if (Exchange(port, "", 0, 0).Connected) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}
