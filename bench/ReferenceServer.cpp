#include "ReferenceServer.h"

#include <memory>
#include <string>

namespace {

const std::string& FixedAnswer()
{
    static const std::string answer = [] {
        std::string text = "<DoorResponse><RequestID></RequestID><ResultCode>200</ResultCode><ResultMessage>"
                           "写卡成功</ResultMessage><CardNo>00012345</CardNo><ExpireDate></ExpireDate>"
                           "<GuestName></GuestName><Score></Score><Password></Password></DoorResponse>";
        text.push_back('\0');
        return text;
    }();
    return answer;
}

class TReferenceConnection : public std::enable_shared_from_this<TReferenceConnection> {
public:
    explicit TReferenceConnection(asio::ip::tcp::socket socket)
        : m_socket(std::move(socket))
    {
    }

    void Start()
    {
        asio::async_read_until(m_socket, asio::dynamic_buffer(m_request), '\0',
            [self = shared_from_this()](const boost::system::error_code& error, size_t) {
                if (error) {
                    return;
                }
                asio::async_write(self->m_socket, asio::buffer(FixedAnswer()),
                    [self](const boost::system::error_code&, size_t) {
                        boost::system::error_code ignored;
                        self->m_socket.shutdown(asio::socket_base::shutdown_send, ignored);
                        self->m_socket.close(ignored);
                    });
            });
    }

private:
    asio::ip::tcp::socket m_socket;
    std::string m_request;
};

} // namespace

TReferenceServer::TReferenceServer()
    : m_acceptor(m_io, asio::ip::tcp::endpoint(asio::ip::address_v4::loopback(), 0))
{
    m_port = m_acceptor.local_endpoint().port();
    Accept();
    m_thread = std::thread([this] { m_io.run(); });
}

TReferenceServer::~TReferenceServer()
{
    m_io.stop();
    m_thread.join();
}

void TReferenceServer::Accept()
{
    m_acceptor.async_accept([this](const boost::system::error_code& error, asio::ip::tcp::socket socket) {
        if (!error) {
            std::make_shared<TReferenceConnection>(std::move(socket))->Start();
        }
        Accept();
    });
}
