#pragma once

#include "http/HttpApi.h"

#include <QString>

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

class THttpOption;
class THttpServer;
class TInfoSink;

// Why the HTTP API does not listen although it is enabled: for the log and
// the status bar, and for stderr.
struct THttpProblem {
    QString Text;
    std::string English;
};

// The settings' own faults, before anything is bound: a port out of range,
// a malformed token, or an address other computers can reach with no token
// to keep them out.
std::optional<THttpProblem> HttpSettingsProblem(const THttpOption& option);

// The HTTP API beside the member port, started and stopped with its
// listener. Nothing listens unless the options enable it.
class THttpListener {
public:
    // The log pane gets the start and stop lines, as for the member port;
    // the health endpoint reports what health gives.
    explicit THttpListener(TInfoSink* InfoMemo, THttpApi::THealthSource health = CurrentHealth);
    // A server still running is stopped without a word to the log pane.
    ~THttpListener();
    THttpListener(const THttpListener&) = delete;
    THttpListener& operator=(const THttpListener&) = delete;

    // Never throws: the member port serves whether or not this can listen.
    // When it cannot, the log, the log pane, stderr and the service status
    // (the status bar) say why, and so does Problem.
    void Start(const THttpOption& option);

    // The parts of a stop, as TMemberServer runs it: requests still
    // waiting for the printer have been dropped before (they are answered
    // 503). Close closes the port and every connection at once; Stopped
    // says so once the connections have been waited for.
    void Close();
    bool WaitForConnections(std::chrono::steady_clock::time_point deadline);
    void Stopped();

    // Close, wait up to 5000 ms for a transaction still running, Stopped.
    void Stop();

    bool Listening() const;
    uint16_t LocalPort() const;
    const std::optional<THttpProblem>& Problem() const { return m_problem; }

private:
    void Refuse(THttpProblem problem);

    TInfoSink* m_infoMemo;
    THttpApi::THealthSource m_health;
    std::unique_ptr<THttpServer> m_server;
    std::optional<THttpProblem> m_problem;
};
