#include "listener/ServerExecute.h"

#include "base/TextCodec.h"
#include "member/MemberMessageHandlerUnit.h"

asio::awaitable<void> TCPServerExecute(TClientConnection& connection, std::string requestLine)
{
    TMemberMessageHandler handler;
    co_await handler.HandleMessage(connection, TextCodec::DecodeRequestUtf8(requestLine));
}
