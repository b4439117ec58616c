#include "member/MemberMessageHandlerUnit.h"

#include "base/StrToInt.h"
#include "base/TextCodec.h"
#include "config/SysOptionUnit.h"
#include "member/ClientConnection.h"
#include "member/RequestValues.h"
#include "status/ServiceStatus.h"
#include "log/LogFileUnit.h"

#include <variant>

namespace {

struct TTexts {
    std::string Received = Gbk("收到消息: ");
};

const TTexts& Texts()
{
    static const TTexts texts;
    return texts;
}

// The first direct child of that exact name; deeper elements do not count.
std::string RequiredValue(const TRequestValues& values, QStringView name)
{
    const std::optional<QStringView> text = values.Child(name);
    if (!text) {
        throw ERequestAbandoned("missing element " + name.toString().toStdString());
    }
    return TextCodec::ToGbk(*text);
}

std::string OptionalValue(const TRequestValues& values, QStringView name)
{
    const std::optional<QStringView> text = values.Child(name);
    return text ? TextCodec::ToGbk(*text) : std::string();
}

// -1, the hotel's own card, when the request names no channel.
int32_t ChannelValue(const TRequestValues& values)
{
    const std::optional<QStringView> element = values.Child(u"Channel");
    if (!element) {
        return -1;
    }
    const std::string text = TextCodec::ToGbk(*element);
    int32_t channel = 0;
    if (!TryStrToInt(text, channel)) {
        throw ERequestAbandoned("'" + text + "' is not a valid integer value");
    }
    return channel;
}

using TRequest = std::variant<std::monostate, TWriteRequest, TReadRequest, TPrintRequest>;

// Reads what the request's type needs, every element before the device is
// tried; an unknown type gives nothing to do. Kept apart from the device
// step so the text's values are released before the request waits its turn.
TRequest ParseRequest(const QString& text)
{
    const TRequestValues values = TRequestValues::Read(text);
    const std::string type = TextCodec::ToGbk(values.Type());
    if (type == "WriteMemberCard") {
        RequiredValue(values, u"RequestID");
        TWriteRequest request;
        request.CardNo = RequiredValue(values, u"CardNo");
        request.ExpireDate = RequiredValue(values, u"ExpireDate");
        request.GuestName = RequiredValue(values, u"GuestName");
        request.Score = RequiredValue(values, u"Score");
        request.Channel = ChannelValue(values);
        return request;
    }
    if (type == "ReadMemberCard") {
        TReadRequest request;
        request.InputPassword = RequiredValue(values, u"InputPassword") == "1";
        request.Channel = ChannelValue(values);
        return request;
    }
    if (type == "PrintMemberCard") {
        RequiredValue(values, u"RequestID");
        TPrintRequest request;
        request.CardNo = RequiredValue(values, u"CardNo");
        request.Content = OptionalValue(values, u"Content");
        return request;
    }
    return std::monostate();
}

} // namespace

asio::awaitable<void> TMemberMessageHandler::HandleMessage(TClientConnection& connection, QString text)
{
    LogArrival(text);
    TRequest request = ParseRequest(text);
    text.clear();

    TCardService service;
    TCardOutcome outcome;
    if (auto* write = std::get_if<TWriteRequest>(&request)) {
        outcome = co_await service.WriteMemberCard(std::move(*write), &connection);
    } else if (auto* read = std::get_if<TReadRequest>(&request)) {
        outcome = co_await service.ReadMemberCard(*read, &connection);
    } else if (auto* print = std::get_if<TPrintRequest>(&request)) {
        outcome = co_await service.PrintMemberCard(std::move(*print), &connection);
    } else {
        co_return;
    }
    // The member port's answer has no place for the printer's fault.
    co_await SendResponse(connection, outcome.Response);
}

void TMemberMessageHandler::LogArrival(const QString& text, std::string_view head)
{
    // The request's text in GBK is the one entry that costs real work to
    // build; while logging is off the writer would drop it unseen.
    if (SysOption && !SysOption->WriteLog) {
        return;
    }
    std::string entry = Texts().Received;
    if (!head.empty()) {
        entry += kLogContinuation;
        entry += LogValue(head);
    }
    entry += kLogContinuation;
    entry += LogValue(TextCodec::ToGbk(text));
    LogFile->WriteArrival(entry);
}

asio::awaitable<void> TMemberMessageHandler::SendResponse(TClientConnection& connection, const TResponse& response)
{
    ServiceStatus().RequestAnswered(response.ResultCode != "200", response.ResultMessage);
    std::string bytes = BuildResponseText(response);
    bytes.push_back('\0');
    try {
        co_await connection.Write(std::move(bytes));
    } catch (const std::exception&) {
        // The client has gone; there is nobody left to tell.
    }
}
