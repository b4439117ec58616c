#pragma once

#include "member/BaseMemberUnit.h"

#include "base/Asio.h"

#include <QString>

#include <cstdint>
#include <stdexcept>
#include <string>

class TClientConnection;
class TRequestClient;

// A request that names a known type but cannot be carried out as sent: a
// required element is missing or Channel is no number. The connection is
// closed without a single byte; the listener drops this silently.
class ERequestAbandoned : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A request whose device step was dropped before it began: the program is
// stopping, the client went away or the request waited too long. Logged
// once; no answer on the member port.
class ERequestDropped : public std::runtime_error {
public:
    explicit ERequestDropped(std::error_code reason);
    // A TDeviceQueueError.
    std::error_code Reason;
};

// The three request types once their elements have been read; every text is
// GBK. Channel is -1, the hotel's own card, when the request names none.
struct TWriteRequest {
    std::string CardNo;
    std::string ExpireDate;
    std::string GuestName;
    std::string Score;
    int32_t Channel = -1;
};

struct TReadRequest {
    bool InputPassword = false;
    int32_t Channel = -1;
};

struct TPrintRequest {
    std::string CardNo;
    std::string Content;
};

// Handles one request: logs it, parses it, runs it on CurrentMemberDevice in
// its turn and writes the one response. Created for one connection.
class TMemberMessageHandler {
public:
    // Throws ERequestAbandoned for a request that gets no answer, and
    // ERequestDropped for one whose device step never began.
    asio::awaitable<void> HandleMessage(TClientConnection& connection, QString text);

    // The arrival entry every request starts its log with: "收到消息: ",
    // CR LF, then the request's text in GBK, and before it, on a line of
    // its own, head when given (the HTTP method and path). Both appear as
    // log values (see LogValue).
    static void LogArrival(const QString& text, std::string_view head = {});

    // From the device step on, each type's steps and log lines; the
    // response they give is the one to send. client, when given, is asked
    // right before the card transaction whether it has gone. Throw
    // ERequestDropped.
    asio::awaitable<TResponse> WriteMemberCard(TWriteRequest request, const TRequestClient* client = nullptr);
    asio::awaitable<TResponse> ReadMemberCard(TReadRequest request, const TRequestClient* client = nullptr);
    asio::awaitable<TResponse> PrintMemberCard(TPrintRequest request, const TRequestClient* client = nullptr);

private:
    asio::awaitable<void> SendResponse(TClientConnection& connection, const TResponse& response);
};
