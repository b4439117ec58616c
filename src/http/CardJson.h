#pragma once

#include "member/BaseMemberUnit.h"
#include "member/CardService.h"

#include <QJsonObject>
#include <QJsonValue>

#include <stdexcept>
#include <string>

// A body the API cannot take as sent; the text says why and names the
// field, and becomes the answer's "error".
class EBadRequest : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The card requests of the HTTP API as JSON. Text values become GBK exactly
// as the XML request's elements do, a character GBK lacks becoming "?".
// Each function throws EBadRequest for malformed JSON, a missing required
// field or a field of the wrong JSON type; other fields are ignored.
namespace CardJson {

// The body as one JSON object.
QJsonObject ParseObject(const std::string& body);

// "requestId": a string or a number, echoed as sent; null when absent.
QJsonValue RequestId(const QJsonObject& object);

TWriteRequest WriteRequest(const QJsonObject& object);
TReadRequest ReadRequest(const QJsonObject& object);
TPrintRequest PrintRequest(const QJsonObject& object);

// The outcome's fields under the names of the API, with requestId; each
// value is the one the TCP answer carries. A failed operation's answer also
// carries reason and fault (its step, kind and status code), which the TCP
// answer has no place for.
QJsonObject ResponseObject(const TCardOutcome& outcome, const QJsonValue& requestId);

} // namespace CardJson
