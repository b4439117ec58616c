#include "http/HttpServer.h"

#include "base/SocketPlatform.h"
#include "http/HttpSession.h"
#include "listener/ConnectionSet.h"
#include "listener/IoThread.h"
#include "listener/RequestListener.h"

#include <cassert>
#include <stdexcept>

THttpServer::THttpServer(std::shared_ptr<const THttpApi> api)
    : m_shared(std::make_shared<TShared>())
    , m_ioThread(TIoThread::Acquire())
    , m_io(m_ioThread->Context())
    , m_acceptor(*m_io)
{
    m_shared->Api = std::move(api);
    m_shared->Sessions = std::make_shared<TConnectionSet>();
}

THttpServer::~THttpServer()
{
    Stop();
}

void THttpServer::Start(const std::string& address, uint16_t port)
{
    boost::system::error_code error;
    const asio::ip::address ip = asio::ip::make_address(address, error);
    const asio::ip::tcp::endpoint endpoint(ip, port);
    if (!error) {
        m_acceptor.open(endpoint.protocol(), error);
    }
    if (!error) {
        // As for the member port: a restart may bind while the last run's
        // connections linger, but no second program may share the port.
        SocketPlatform::SetListenerAddressOption(m_acceptor, error);
    }
    if (!error) {
        m_acceptor.bind(endpoint, error);
    }
    if (!error) {
        m_acceptor.listen(kListenQueue, error);
    }
    if (error) {
        boost::system::error_code ignored;
        m_acceptor.close(ignored);
        throw std::runtime_error("cannot listen on " + address + " port " + std::to_string(port)
            + ": the port is taken, or the address is not one of this computer's");
    }
    m_localPort = m_acceptor.local_endpoint().port();
    m_running = true;
    auto ended = std::make_shared<std::promise<void>>();
    m_acceptEnded = ended->get_future().share();
    asio::co_spawn(*m_io, Accept(), [ended](std::exception_ptr) { ended->set_value(); });
}

asio::awaitable<void> THttpServer::Accept()
{
    asio::steady_timer backOff(*m_io);
    while (m_acceptor.is_open()) {
        boost::system::error_code error;
        asio::ip::tcp::socket socket(*m_io);
        co_await m_acceptor.async_accept(socket, asio::redirect_error(asio::use_awaitable, error));
        if (!error) {
            socket.set_option(asio::ip::tcp::no_delay(true), error);
            auto session = std::make_shared<THttpSession>(m_io, std::move(socket), m_shared);
            m_shared->Sessions->Add(session);
            session->Start();
        } else if (AcceptOutOfResources(error)) {
            backOff.expires_after(kAcceptBackOff);
            co_await backOff.async_wait(asio::redirect_error(asio::use_awaitable, error));
        }
    }
}

void THttpServer::Close()
{
    // It waits for the I/O thread to close what is its own.
    assert(!m_io->get_executor().running_in_this_thread());
    if (!m_running) {
        return;
    }
    m_running = false;
    std::promise<void> closed;
    asio::post(*m_io, [&] {
        boost::system::error_code ignored;
        m_acceptor.close(ignored);
        m_shared->Sessions->AbortAll();
        closed.set_value();
    });
    closed.get_future().wait();
    m_acceptEnded.wait();
}

bool THttpServer::WaitForSessions(std::chrono::steady_clock::time_point deadline)
{
    return m_shared->Sessions->WaitUntilEmpty(deadline);
}

void THttpServer::Stop()
{
    if (!m_running) {
        return;
    }
    Close();
    // A session whose transaction is still running holds what it needs
    // itself; past the wait it is left to finish on its own.
    WaitForSessions(std::chrono::steady_clock::now() + kStopWait);
}
