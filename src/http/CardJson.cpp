#include "http/CardJson.h"

#include "base/TextCodec.h"

#include <QJsonDocument>
#include <QJsonParseError>

#include <cmath>
#include <limits>

namespace CardJson {

namespace {

QString Name(const char* field)
{
    return QString::fromLatin1(field);
}

std::string Text(const QJsonObject& object, const char* field, bool required)
{
    const QJsonValue value = object.value(Name(field));
    if (value.isUndefined() || (!required && value.isNull())) {
        if (required) {
            throw EBadRequest(std::string(field) + " is required");
        }
        return {};
    }
    if (!value.isString()) {
        throw EBadRequest(std::string(field) + " must be a string");
    }
    const QString text = value.toString();
    // XML cannot carry these at all, so the TCP protocol never hands them
    // to the printer; neither does this one.
    for (const QChar c : text) {
        if (c.unicode() < 0x20 && c != u'\t' && c != u'\n' && c != u'\r') {
            throw EBadRequest(std::string(field) + " holds a control character");
        }
    }
    return TextCodec::ToGbk(text);
}

int32_t Channel(const QJsonObject& object)
{
    const QJsonValue value = object.value(Name("channel"));
    if (value.isUndefined() || value.isNull()) {
        return -1;
    }
    const double number = value.toDouble(0.5);
    if (!value.isDouble() || std::floor(number) != number || number < std::numeric_limits<int32_t>::min()
        || number > std::numeric_limits<int32_t>::max()) {
        throw EBadRequest("channel must be a whole number in the 32-bit range");
    }
    return static_cast<int32_t>(number);
}

// A value of the TCP answer as the DoorResponse text carries it: a control
// character other than tab, LF and CR arrives there as "?".
QString ResponseValue(const std::string& gbk)
{
    QString text = TextCodec::FromGbk(gbk);
    for (QChar& c : text) {
        if (c.unicode() < 0x20 && c != u'\t' && c != u'\n' && c != u'\r') {
            c = u'?';
        }
    }
    return text;
}

// What a program branches on; "unknown" when the device failed without
// naming a printer fault (there was none to drive).
QJsonObject FaultObject(const std::optional<TPrinterFault>& fault)
{
    if (!fault) {
        return QJsonObject {{Name("kind"), Name("unknown")}};
    }
    return QJsonObject {
        {Name("step"), Name(StepName(fault->Step))},
        {Name("kind"), Name(FaultKindName(fault->Kind))},
        {Name("code"), fault->StatusCode},
        {Name("codeText"), ResponseValue(fault->StatusText)},
    };
}

} // namespace

QJsonObject ParseObject(const std::string& body)
{
    QJsonParseError error {};
    const QJsonDocument document
        = QJsonDocument::fromJson(QByteArray(body.data(), static_cast<qsizetype>(body.size())), &error);
    if (error.error != QJsonParseError::NoError) {
        throw EBadRequest("the body is not valid JSON: " + error.errorString().toStdString() + " at offset "
            + std::to_string(error.offset));
    }
    if (!document.isObject()) {
        throw EBadRequest("the body must be a JSON object");
    }
    return document.object();
}

QJsonValue RequestId(const QJsonObject& object)
{
    const QJsonValue value = object.value(Name("requestId"));
    if (value.isUndefined() || value.isNull()) {
        return QJsonValue::Null;
    }
    if (!value.isString() && !value.isDouble()) {
        throw EBadRequest("requestId must be a string or a number");
    }
    return value;
}

TWriteRequest WriteRequest(const QJsonObject& object)
{
    TWriteRequest request;
    request.CardNo = Text(object, "cardNo", true);
    request.ExpireDate = Text(object, "expireDate", true);
    request.GuestName = Text(object, "guestName", true);
    request.Score = Text(object, "score", true);
    request.Channel = Channel(object);
    return request;
}

TReadRequest ReadRequest(const QJsonObject& object)
{
    TReadRequest request;
    const QJsonValue inputPassword = object.value(Name("inputPassword"));
    if (!inputPassword.isUndefined() && !inputPassword.isNull()) {
        if (!inputPassword.isBool()) {
            throw EBadRequest("inputPassword must be true or false");
        }
        request.InputPassword = inputPassword.toBool();
    }
    request.Channel = Channel(object);
    return request;
}

TPrintRequest PrintRequest(const QJsonObject& object)
{
    TPrintRequest request;
    request.CardNo = Text(object, "cardNo", true);
    request.Content = Text(object, "content", false);
    return request;
}

QJsonObject ResponseObject(const TCardOutcome& outcome, const QJsonValue& requestId)
{
    const TResponse& response = outcome.Response;
    QJsonObject object {
        {Name("requestId"), requestId},
        {Name("resultCode"), ResponseValue(response.ResultCode)},
        {Name("resultMessage"), ResponseValue(response.ResultMessage)},
        {Name("cardNo"), ResponseValue(response.CardNo)},
        {Name("expireDate"), ResponseValue(response.ExpireDate)},
        {Name("guestName"), ResponseValue(response.GuestName)},
        {Name("score"), ResponseValue(response.Score)},
        {Name("password"), ResponseValue(response.Password)},
    };
    if (response.ResultCode != "200") {
        // The printer's first fault as the log has it, or the result
        // message when the printer named none (there was no device, say).
        const std::string reason
            = outcome.Fault && !outcome.Fault->Text.empty() ? outcome.Fault->Text : response.ResultMessage;
        object.insert(Name("reason"), ResponseValue(reason));
        object.insert(Name("fault"), FaultObject(outcome.Fault));
    }
    return object;
}

} // namespace CardJson
