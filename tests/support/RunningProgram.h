#pragma once

#include "support/ProcessEnd.h"

#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

#include <cstdint>
#include <string>

// The real program, copied into a folder of its own with its printer host
// so its Option.ini and log files are the test's, set to listen on port. Files to find at start
// are put into Dir() before Start; the environment is the test's own minus
// any display (see UseServerDisplay), so the program picks its platform as
// it would on a server.
class TRunningProgram {
public:
    // optionLines follow MemberPortNo in the SysOption section.
    explicit TRunningProgram(uint16_t port, const std::string& optionLines = "");
    ~TRunningProgram();
    TRunningProgram(const TRunningProgram&) = delete;
    TRunningProgram& operator=(const TRunningProgram&) = delete;

    std::string Dir() const;
    // Also copies the printer simulator beside the program.
    void WithSimulator();
    QProcessEnvironment& Environment() { return m_environment; }

    bool Start(const QStringList& arguments = {});
    // Waits (up to ten seconds) until the port answers a request.
    bool Answers();
    // Asks the program to end as the system would (by default the first way
    // this platform knows) and waits up to twenty seconds for it.
    bool EndsOn(EEndRequest request = EndRequests().front());
    // Waits up to timeoutMs for the program to end by itself.
    bool Ends(int timeoutMs);

    QProcess& Process() { return m_process; }
    std::string StandardError();
    // The first .LOG file of the folder; empty when there is none.
    std::string Log() const;

private:
    QTemporaryDir m_dir;
    QString m_program;
    uint16_t m_port;
    QProcessEnvironment m_environment;
    QProcess m_process;
    std::string m_stderr;
};

// A read request that the program answers with or without a printer.
std::string ReadRequest();
