#include "shell/listener/ServerExecute.h"

#include "base/TextCodec.h"
#include "member/MemberMessageHandlerUnit.h"

void TCPServerExecute(TInfoSink* InfoMemo, TClientConnection& connection, const std::string& requestLine)
{
    TMemberMessageHandler handler(InfoMemo);
    handler.HandleMessage(connection, TextCodec::DecodeRequestUtf8(requestLine));
}
