#include "member/MemberMessageHandlerUnit.h"

#include "base/StrToInt.h"
#include "base/TextCodec.h"
#include "config/SysOptionUnit.h"
#include "member/ClientConnection.h"
#include "member/DeviceQueue.h"
#include "member/RequestValues.h"
#include "status/ServiceMetrics.h"
#include "status/ServiceStatus.h"
#include "log/LogFileUnit.h"

#include <variant>

namespace {

struct TTexts {
    std::string Received = Gbk("收到消息: \r\n");
    std::string WriteOk = Gbk("写卡成功");
    std::string WriteFailed = Gbk("写卡失败");
    std::string WriteOkLog = Gbk("写卡成功,卡号为:");
    std::string WriteFailedLog = Gbk("写卡失败,卡号为:");
    std::string ReadOk = Gbk("读卡成功");
    std::string ReadFailed = Gbk("读卡失败");
    std::string ReadOkLog = Gbk("读卡成功，卡号为：");
    std::string PrintOk = Gbk("打印卡成功");
    std::string PrintFailed = Gbk("打印卡失败");
    std::string Stopped = Gbk("服务器停止,请求未执行.");
    std::string ClientGone = Gbk("客户端已断开,请求未执行.");
    std::string TimedOut = Gbk("等待超时,请求未执行.");
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

// A card operation on the device thread; when it fails, reason gets the
// first printer fault it met, as the log has it.
template <typename TCall> bool NotingReason(std::string& reason, TCall call)
{
    const uint64_t mark = ServiceStatus().PrinterFaults();
    const bool ok = call();
    if (!ok) {
        reason = ServiceStatus().PrinterFaultAfter(mark);
    }
    return ok;
}

// Why an operation failed, for an answer that can say it: its first
// printer fault, or the result message when the printer named none (there
// was no device, say).
std::string FailureReason(std::string fault, const std::string& message)
{
    return fault.empty() ? message : fault;
}

// The device step of one request, in its turn. A step dropped before it
// began is logged here, once, and ends the request without an answer.
asio::awaitable<bool> RunOnDevice(TDeviceQueue::TOperation operation, const TRequestClient* client)
{
    std::error_code reason;
    try {
        co_return co_await DeviceQueue.AsyncRun(std::move(operation), client, asio::use_awaitable);
    } catch (const std::system_error& error) {
        if (error.code().category() != DeviceQueueCategory()) {
            throw;
        }
        reason = error.code();
    }
    const TTexts& t = Texts();
    switch (static_cast<TDeviceQueueError>(reason.value())) {
    case TDeviceQueueError::Stopped:
        LogFile->WriteLine(t.Stopped);
        break;
    case TDeviceQueueError::ClientGone:
        LogFile->WriteLine(t.ClientGone);
        break;
    case TDeviceQueueError::TimedOut:
        LogFile->WriteLine(t.TimedOut);
        break;
    }
    throw ERequestDropped(reason);
}

} // namespace

ERequestDropped::ERequestDropped(std::error_code reason)
    : std::runtime_error("device step dropped: " + reason.message())
    , Reason(reason)
{
}

asio::awaitable<void> TMemberMessageHandler::HandleMessage(TClientConnection& connection, QString text)
{
    LogArrival(text);
    TRequest request = ParseRequest(text);
    text.clear();

    TResponse response;
    if (auto* write = std::get_if<TWriteRequest>(&request)) {
        response = co_await WriteMemberCard(std::move(*write), &connection);
    } else if (auto* read = std::get_if<TReadRequest>(&request)) {
        response = co_await ReadMemberCard(*read, &connection);
    } else if (auto* print = std::get_if<TPrintRequest>(&request)) {
        response = co_await PrintMemberCard(std::move(*print), &connection);
    } else {
        co_return;
    }
    co_await SendResponse(connection, response);
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
        entry += LogValue(head);
        entry += "\r\n";
    }
    entry += LogValue(TextCodec::ToGbk(text));
    LogFile->WriteArrival(entry);
}

asio::awaitable<TResponse> TMemberMessageHandler::WriteMemberCard(TWriteRequest request, const TRequestClient* client)
{
    const TTexts& t = Texts();
    TRequestTally tally(TCardRequest::Write);
    std::string fault;
    const bool ok = co_await RunOnDevice(
        [&](TBaseMember& device) {
            return NotingReason(fault, [&] {
                return device.WriteCard(
                    request.CardNo, request.ExpireDate, request.GuestName, request.Score, request.Channel);
            });
        },
        client);
    TResponse response;
    response.ResultCode = ok ? "200" : "500";
    response.ResultMessage = ok ? t.WriteOk : t.WriteFailed;
    response.CardNo = request.CardNo;
    if (!ok) {
        response.Reason = FailureReason(std::move(fault), response.ResultMessage);
    }
    LogFile->WriteLine((ok ? t.WriteOkLog : t.WriteFailedLog) + LogValue(request.CardNo));
    tally.Answered(response.ResultCode);
    co_return response;
}

asio::awaitable<TResponse> TMemberMessageHandler::ReadMemberCard(TReadRequest request, const TRequestClient* client)
{
    const TTexts& t = Texts();
    TRequestTally tally(TCardRequest::Read);
    TResponse read;
    TResponse response;
    std::string fault;
    const bool ok = co_await RunOnDevice(
        [&](TBaseMember& device) {
            return NotingReason(fault, [&] {
                return device.ReadCard(request.InputPassword, read.CardNo, read.Password, read.ExpireDate,
                    read.GuestName, read.Score, request.Channel);
            });
        },
        client);
    if (ok) {
        response.ResultCode = "200";
        response.ResultMessage = t.ReadOk;
        response.CardNo = read.CardNo;
        response.ExpireDate = read.ExpireDate;
        response.GuestName = read.GuestName;
        response.Score = read.Score;
        response.Password = read.Password;
        LogFile->WriteLine(t.ReadOkLog + LogValue(read.CardNo));
    } else {
        response.ResultCode = "500";
        response.ResultMessage = t.ReadFailed;
        response.Reason = FailureReason(std::move(fault), response.ResultMessage);
        LogFile->WriteLine(t.ReadFailed);
    }
    tally.Answered(response.ResultCode);
    co_return response;
}

asio::awaitable<TResponse> TMemberMessageHandler::PrintMemberCard(TPrintRequest request, const TRequestClient* client)
{
    const TTexts& t = Texts();
    TRequestTally tally(TCardRequest::Print);
    // Written before the device is tried, also when there is none.
    LogFile->WriteLine("Content=" + LogValue(request.Content));
    std::string fault;
    const bool ok = co_await RunOnDevice(
        [&](TBaseMember& device) {
            return NotingReason(fault, [&] { return device.PrintCard(request.CardNo, request.Content); });
        },
        client);
    TResponse response;
    response.ResultCode = ok ? "200" : "500";
    response.ResultMessage = ok ? t.PrintOk : t.PrintFailed;
    if (!ok) {
        response.Reason = FailureReason(std::move(fault), response.ResultMessage);
    }
    LogFile->WriteLine(ok ? t.PrintOk : t.PrintFailed);
    tally.Answered(response.ResultCode);
    co_return response;
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
