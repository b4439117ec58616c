#include "server/MemberServer.h"

#include "base/ErrorMessage.h"
#include "config/HttpOption.h"
#include "http/HttpListener.h"
#include "listener/IoThread.h"
#include "listener/RequestListener.h"
#include "listener/ServerExecute.h"
#include "member/DeviceQueue.h"
#include "status/ServiceStatus.h"

#include <cassert>

TMemberServer::TMemberServer(TMemberServerSettings settings)
    : m_settings(std::move(settings))
    , m_ioThread(TIoThread::Acquire())
{
    if (!m_settings.Procedure) {
        m_settings.Procedure = TCPServerExecute;
    }
}

TMemberServer::~TMemberServer()
{
    EndServing();
}

void TMemberServer::Start(int32_t port, TInfoSink* InfoMemo)
{
    m_infoMemo = InfoMemo;
    // Also after an earlier stop refused them, and whether or not the port
    // can be bound: the test dialog and the HTTP API go on without it.
    DeviceQueue.AcceptRequests();
    m_serving = true;
    m_listener = std::make_unique<TRequestListener>(InfoMemo, m_settings.Procedure);
    try {
        m_listener->Start(port);
    } catch (const std::exception& error) {
        ServiceStatus().ListenerFailed(port, ErrorMessage(error));
        StartHttp();
        throw;
    }
    ServiceStatus().ListenerStarted(m_listener->LocalPort());
    StartHttp();
}

void TMemberServer::StartHttp()
{
    m_httpListener = std::make_unique<THttpListener>(m_infoMemo);
    if (HttpOption) {
        m_httpListener->Start(*HttpOption);
    }
}

void TMemberServer::Stop()
{
    // It waits for connections that the I/O thread serves.
    assert(!m_ioThread->Context()->get_executor().running_in_this_thread());
    if (!m_serving) {
        return;
    }
    // No request begins a card transaction from here on; those still
    // waiting for the printer end unanswered (member port) or with 503.
    DeviceQueue.StopRequests();
    Close();
    if (!WaitForConnections()) {
        // A transaction outlived the wait: a printer call that hangs. Given
        // up, it answers at once as a hung call does, and the connections
        // end; the caller says the stop failed, and a second stop finds
        // them gone.
        GiveUpPrinterCall();
        throw EStopTimeout();
    }
    // A step given up on still completes on the I/O thread, which must
    // serve until it has.
    DeviceQueue.WaitForRequests();
    m_serving = false;
    m_listener->Stopped();
    ServiceStatus().ListenerStopped();
    m_httpListener->Stopped();
}

void TMemberServer::EndServing()
{
    try {
        Stop();
    } catch (const EStopTimeout&) {
        // Connections still busy after two waits keep what they need alive
        // themselves; the server itself can go.
    }
}

void TMemberServer::Close()
{
    m_listener->Close();
    m_httpListener->Close();
}

bool TMemberServer::WaitForConnections()
{
    const auto deadline = std::chrono::steady_clock::now() + kStopWait;
    const bool memberPortEnded = m_listener->WaitForConnections(deadline);
    const bool httpEnded = m_httpListener->WaitForConnections(deadline);
    return memberPortEnded && httpEnded;
}

void TMemberServer::GiveUpPrinterCall()
{
    if (m_settings.GiveUpPrinterCall) {
        m_settings.GiveUpPrinterCall();
    }
}

bool TMemberServer::Listening() const
{
    return m_listener && m_listener->Active();
}

uint16_t TMemberServer::LocalPort() const
{
    return m_listener ? m_listener->LocalPort() : 0;
}

uint16_t TMemberServer::HttpPort() const
{
    return m_httpListener ? m_httpListener->LocalPort() : 0;
}
