#include "shell/listener/RequestListener.h"

#include "base/InfoSink.h"
#include "base/SocketPlatform.h"
#include "shell/listener/ConnectionSet.h"
#include "shell/listener/ThreadCache.h"

#include <future>

namespace {

constexpr int kListenQueue = 15;
constexpr auto kStopWait = std::chrono::milliseconds(5000);
// Out of descriptors: accepting again at once would only spin.
constexpr auto kAcceptBackOff = std::chrono::milliseconds(100);
// How long a request thread waits for the next request before it ends.
constexpr auto kThreadLinger = std::chrono::milliseconds(2000);

bool OutOfResources(const std::error_code& error)
{
    return error == asio::error::no_descriptors || error == std::errc::too_many_files_open_in_system
        || error == asio::error::no_buffer_space || error == asio::error::no_memory;
}

std::runtime_error BindError(const std::error_code& error)
{
    if (SocketPlatform::AddressInUse(error)) {
        return std::runtime_error("Could not bind socket. Address and port are already in use.");
    }
    return std::runtime_error(error.message());
}

} // namespace

ETerminateThreadTimeout::ETerminateThreadTimeout()
    : std::runtime_error("Terminate Thread Timeout")
{
}

TRequestListener::TRequestListener(TInfoSink* InfoMemo, TConnectionProcedure procedure)
    : m_infoMemo(InfoMemo)
    , m_procedure(std::make_shared<const TConnectionProcedure>(std::move(procedure)))
    , m_io(std::make_shared<asio::io_context>(1))
    , m_acceptor(*m_io)
    , m_retryTimer(*m_io)
    , m_connections(std::make_shared<TConnectionSet>())
    , m_threads(std::make_shared<TThreadCache>(kThreadLinger))
{
}

TRequestListener::~TRequestListener()
{
    if (m_active) {
        try {
            Stop();
        } catch (const ETerminateThreadTimeout&) {
            // Connections still busy after two waits keep what they need
            // alive themselves; the listener itself can go.
        }
    }
    if (m_ioThread.joinable()) {
        m_io->stop();
        m_ioThread.join();
    }
    m_threads->Shutdown();
}

void TRequestListener::Start(int32_t port)
{
    // Appended before binding, so the line shows even when binding fails.
    if (m_infoMemo != nullptr) {
        m_infoMemo->AppendLine(QString::fromUtf8("会员卡接口监听服务器已经启动..."));
    }
    std::error_code error;
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
        std::error_code ignored;
        m_acceptor.close(ignored);
        throw BindError(error);
    }
    m_localPort = m_acceptor.local_endpoint().port();
    m_active = true;
    m_work.emplace(m_io->get_executor());
    Accept();
    m_ioThread = std::thread([io = m_io] { io->run(); });
}

void TRequestListener::Accept()
{
    m_acceptor.async_accept([this](const std::error_code& error, asio::ip::tcp::socket socket) {
        if (error == asio::error::operation_aborted || !m_acceptor.is_open()) {
            return;
        }
        if (error) {
            if (OutOfResources(error)) {
                AcceptLater();
            } else {
                Accept();
            }
            return;
        }
        auto connection = std::make_shared<TListenerConnection>(
            m_io, std::move(socket), m_connections, m_procedure, m_threads);
        m_connections->Add(connection);
        connection->Start();
        Accept();
    });
}

void TRequestListener::AcceptLater()
{
    m_retryTimer.expires_after(kAcceptBackOff);
    m_retryTimer.async_wait([this](const std::error_code& error) {
        if (!error && m_acceptor.is_open()) {
            Accept();
        }
    });
}

void TRequestListener::Stop()
{
    if (m_active) {
        // The acceptor belongs to the I/O thread; close it there and wait
        // until that has happened before closing the connections.
        std::promise<void> closed;
        asio::post(*m_io, [&] {
            std::error_code ignored;
            m_acceptor.close(ignored);
            m_retryTimer.cancel();
            closed.set_value();
        });
        closed.get_future().wait();

        m_connections->AbortAll();
        if (!m_connections->WaitUntilEmpty(kStopWait)) {
            throw ETerminateThreadTimeout();
        }
        m_active = false;
        m_work.reset();
        m_io->stop();
        m_ioThread.join();
    }
    if (m_infoMemo != nullptr) {
        m_infoMemo->AppendLine(QString::fromUtf8("接口监听服务器已经停止。"));
    }
}

size_t TRequestListener::LiveConnections() const
{
    return m_connections->Count();
}

