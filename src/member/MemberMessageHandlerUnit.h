#pragma once

#include "member/BaseMemberUnit.h"

#include <QDomElement>
#include <QString>

#include <stdexcept>

class TClientConnection;
class TInfoSink;

// A request that names a known type but cannot be carried out as sent: a
// required element is missing or Channel is no number. The connection is
// closed without a single byte; the listener drops this silently.
class ERequestAbandoned : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Handles one request: logs it, parses it, runs it on CurrentMemberDevice
// and writes the one response. Created for one connection.
class TMemberMessageHandler {
public:
    // The log pane is kept but never written to: handlers run on connection
    // threads, which must not touch the window.
    explicit TMemberMessageHandler(TInfoSink* InfoMemo);

    // Throws ERequestAbandoned for a request that gets no answer.
    void HandleMessage(TClientConnection& connection, const QString& text);

private:
    bool DoWriteCard(const QDomElement& root);
    bool DoReadCard(bool InputPassword, int32_t Channel, TResponse& read);
    bool DoPrintCard(const QDomElement& root);
    void SendResponse(TClientConnection& connection, const TResponse& response);

    TInfoSink* m_infoMemo;
};
