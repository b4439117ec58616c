#include "listener/RequestListener.h"

#include "base/InfoSink.h"
#include "base/SocketPlatform.h"
#include "config/SysOptionUnit.h"
#include "listener/ConnectionSet.h"
#include "listener/IoThread.h"

#include <algorithm>
#include <cassert>
#include <future>

namespace {

constexpr int kListenQueue = 15;
std::runtime_error BindError(const boost::system::error_code& error)
{
    if (SocketPlatform::AddressInUse(error)) {
        return std::runtime_error("Could not bind socket. Address and port are already in use.");
    }
    return std::runtime_error(error.message());
}

} // namespace

bool AcceptOutOfResources(const boost::system::error_code& error)
{
    return error == asio::error::no_descriptors || error == std::errc::too_many_files_open_in_system
        || error == asio::error::no_buffer_space || error == asio::error::no_memory;
}

EStopTimeout::EStopTimeout()
    : std::runtime_error("Terminate Thread Timeout")
{
}

TRequestListener::TRequestListener(TInfoSink* InfoMemo, TConnectionProcedure procedure)
    : m_infoMemo(InfoMemo)
    , m_procedure(std::make_shared<const TConnectionProcedure>(std::move(procedure)))
    , m_ioThread(TIoThread::Acquire())
    , m_io(m_ioThread->Context())
    , m_acceptor(*m_io)
    , m_connections(std::make_shared<TConnectionSet>())
{
}

TRequestListener::~TRequestListener()
{
    if (m_active) {
        try {
            Stop();
        } catch (const EStopTimeout&) {
            // Connections still busy after two waits keep what they need
            // alive themselves; the listener itself can go.
        }
    }
    if (m_acceptor.is_open()) {
        // Never started serving; the acceptor is the I/O thread's only
        // while it accepts.
        boost::system::error_code ignored;
        m_acceptor.close(ignored);
    }
}

void TRequestListener::Start(int32_t port)
{
    // Appended before binding, so the line shows even when binding fails.
    if (m_infoMemo != nullptr) {
        m_infoMemo->AppendLine(QString::fromUtf8("会员卡接口监听服务器已经启动..."));
    }
    m_requestTimeout = std::chrono::seconds(SysOption ? std::max(SysOption->RequestTimeoutSec, 0) : 0);
    boost::system::error_code error;
    m_acceptor.open(asio::ip::tcp::v4(), error);
    if (!error) {
        SocketPlatform::SetListenerAddressOption(m_acceptor, error);
    }
    if (!error) {
        m_acceptor.bind(asio::ip::tcp::endpoint(asio::ip::address_v4::any(), static_cast<uint16_t>(port)), error);
    }
    if (!error) {
        m_acceptor.listen(kListenQueue, error);
    }
    if (error) {
        boost::system::error_code ignored;
        m_acceptor.close(ignored);
        throw BindError(error);
    }
    m_acceptor.non_blocking(true, error);
    m_localPort = m_acceptor.local_endpoint().port();
    m_active = true;
    auto ended = std::make_shared<std::promise<void>>();
    m_acceptEnded = ended->get_future().share();
    asio::co_spawn(*m_io, Accept(), [ended](std::exception_ptr) { ended->set_value(); });
}

asio::awaitable<void> TRequestListener::Accept()
{
    asio::steady_timer backOff(m_acceptor.get_executor());
    while (m_acceptor.is_open()) {
        boost::system::error_code error;
        asio::ip::tcp::socket socket(*m_io);
        co_await m_acceptor.async_accept(socket, asio::redirect_error(asio::use_awaitable, error));
        // Everything already waiting in the short listen queue is taken at
        // once, before any of it is read: a burst of clients then finds room
        // in the queue instead of having its connection attempts dropped.
        while (!error) {
            Connect(std::move(socket));
            socket = asio::ip::tcp::socket(*m_io);
            m_acceptor.accept(socket, error);
        }
        if (AcceptOutOfResources(error)) {
            backOff.expires_after(kAcceptBackOff);
            co_await backOff.async_wait(asio::redirect_error(asio::use_awaitable, error));
        }
    }
}

void TRequestListener::Connect(asio::ip::tcp::socket socket)
{
    auto connection = std::make_shared<TListenerConnection>(
        m_io, std::move(socket), m_connections, m_procedure, m_requestTimeout);
    m_connections->Add(connection);
    connection->Start();
}

void TRequestListener::Close()
{
    // It waits for the I/O thread to close what is its own.
    assert(!m_io->get_executor().running_in_this_thread());
    if (!m_active) {
        return;
    }
    // The acceptor and the connections belong to the I/O thread; closed
    // there, in one step.
    std::promise<void> closed;
    asio::post(*m_io, [&] {
        boost::system::error_code ignored;
        m_acceptor.close(ignored);
        m_connections->AbortAll();
        closed.set_value();
    });
    closed.get_future().wait();
    // The accepting coroutine refers to this object: it must be over
    // before the listener may go.
    m_acceptEnded.wait();
}

bool TRequestListener::WaitForConnections(std::chrono::steady_clock::time_point deadline)
{
    return m_connections->WaitUntilEmpty(deadline);
}

void TRequestListener::Stopped()
{
    m_active = false;
    if (m_infoMemo != nullptr) {
        m_infoMemo->AppendLine(QString::fromUtf8("接口监听服务器已经停止。"));
    }
}

void TRequestListener::Stop()
{
    Close();
    if (m_active && !WaitForConnections(std::chrono::steady_clock::now() + kStopWait)) {
        throw EStopTimeout();
    }
    Stopped();
}

size_t TRequestListener::LiveConnections() const
{
    return m_connections->Count();
}
