#pragma once

#include "member/BaseMemberUnit.h"
#include "member/CardService.h"

#include "base/Asio.h"

#include <QString>

#include <stdexcept>
#include <string>
#include <string_view>

class TClientConnection;

// A request that names a known type but cannot be carried out as sent: a
// required element is missing or Channel is no number. The connection is
// closed without a single byte; the listener drops this silently.
class ERequestAbandoned : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Handles one member-port request: logs it, parses it, lets the card
// service carry it out and writes the one response. Created for one
// connection.
class TMemberMessageHandler {
public:
    // Throws ERequestAbandoned for a request that gets no answer, and
    // ERequestDropped for one whose device step never began.
    asio::awaitable<void> HandleMessage(TClientConnection& connection, QString text);

    // The arrival entry every request starts its log with: "收到消息: ",
    // then on a continuation line (kLogContinuation) the request's text in
    // GBK, and before it, on a continuation line of its own, head when given
    // (the HTTP method and path). Both appear as log values (see LogValue),
    // whole.
    static void LogArrival(const QString& text, std::string_view head = {});

private:
    asio::awaitable<void> SendResponse(TClientConnection& connection, const TResponse& response);
};
