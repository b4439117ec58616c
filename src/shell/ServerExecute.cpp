#include "shell/ServerExecute.h"

#include "member/MemberMessageHandlerUnit.h"
#include "shell/TextCodec.h"

void TCPServerExecute(TInfoSink* InfoMemo, TClientConnection& connection, const std::string& requestLine)
{
    TMemberMessageHandler handler(InfoMemo);
    handler.HandleMessage(connection, TextCodec::DecodeRequestUtf8(requestLine));
}
