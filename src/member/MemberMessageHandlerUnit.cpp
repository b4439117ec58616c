#include "member/MemberMessageHandlerUnit.h"

#include "base/StrToInt.h"
#include "base/TextCodec.h"
#include "config/SysOptionUnit.h"
#include "member/ClientConnection.h"
#include "member/DeviceQueue.h"
#include "member/RequestValues.h"
#include "member/ServiceMetrics.h"
#include "member/ServiceStatus.h"
#include "member/log/LogFileUnit.h"

#include <asio.hpp>

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

// The device step of one request, in its turn. A step dropped before it
// began is logged here, once, and ends the request without an answer. The
// client's connection, when there is one, is told if the step has to wait.
asio::awaitable<bool> RunOnDevice(TDeviceQueue::TOperation operation, TClientConnection* connection)
{
    if (const std::optional<bool> result = DeviceQueue.TryRun(operation)) {
        co_return *result;
    }
    std::function<void()> queued;
    if (connection != nullptr) {
        queued = [connection] { connection->StepQueued(); };
    }
    try {
        co_return co_await DeviceQueue.AsyncRun(std::move(operation), std::move(queued), asio::use_awaitable);
    } catch (const std::system_error& error) {
        if (error.code() == TDeviceQueueError::Stopped) {
            LogFile->WriteLine(Texts().Stopped);
        } else if (error.code() == TDeviceQueueError::Cancelled) {
            LogFile->WriteLine(Texts().ClientGone);
        } else {
            throw;
        }
    }
    throw ERequestDropped("device step dropped");
}

} // namespace

TMemberMessageHandler::TMemberMessageHandler(TInfoSink* InfoMemo)
    : m_infoMemo(InfoMemo)
{
}

asio::awaitable<void> TMemberMessageHandler::HandleMessage(TClientConnection& connection, QString text)
{
    m_connection = &connection;
    LogArrival(text);
    TRequest request = ParseRequest(text);
    text.clear();

    TResponse response;
    if (auto* write = std::get_if<TWriteRequest>(&request)) {
        response = co_await WriteMemberCard(std::move(*write));
    } else if (auto* read = std::get_if<TReadRequest>(&request)) {
        response = co_await ReadMemberCard(*read);
    } else if (auto* print = std::get_if<TPrintRequest>(&request)) {
        response = co_await PrintMemberCard(std::move(*print));
    } else {
        co_return;
    }
    co_await SendResponse(connection, response);
}

void TMemberMessageHandler::LogArrival(const QString& text)
{
    // The request's text in GBK is the one entry that costs real work to
    // build; while logging is off the writer would drop it unseen.
    if (SysOption && !SysOption->WriteLog) {
        return;
    }
    LogFile->WriteLine(Texts().Received + TextCodec::ToGbk(text));
}

asio::awaitable<TResponse> TMemberMessageHandler::WriteMemberCard(TWriteRequest request)
{
    const TTexts& t = Texts();
    TRequestTally tally(TCardRequest::Write);
    const bool ok = co_await DoWriteCard(request);
    TResponse response;
    response.ResultCode = ok ? "200" : "500";
    response.ResultMessage = ok ? t.WriteOk : t.WriteFailed;
    response.CardNo = request.CardNo;
    LogFile->WriteLine((ok ? t.WriteOkLog : t.WriteFailedLog) + request.CardNo);
    tally.Answered(response.ResultCode);
    co_return response;
}

asio::awaitable<TResponse> TMemberMessageHandler::ReadMemberCard(TReadRequest request)
{
    const TTexts& t = Texts();
    TRequestTally tally(TCardRequest::Read);
    TResponse read;
    TResponse response;
    if (co_await DoReadCard(request.InputPassword, request.Channel, read)) {
        response.ResultCode = "200";
        response.ResultMessage = t.ReadOk;
        response.CardNo = read.CardNo;
        response.ExpireDate = read.ExpireDate;
        response.GuestName = read.GuestName;
        response.Score = read.Score;
        response.Password = read.Password;
        LogFile->WriteLine(t.ReadOkLog + read.CardNo);
    } else {
        response.ResultCode = "500";
        response.ResultMessage = t.ReadFailed;
        LogFile->WriteLine(t.ReadFailed);
    }
    tally.Answered(response.ResultCode);
    co_return response;
}

asio::awaitable<TResponse> TMemberMessageHandler::PrintMemberCard(TPrintRequest request)
{
    const TTexts& t = Texts();
    TRequestTally tally(TCardRequest::Print);
    const bool ok = co_await DoPrintCard(request);
    TResponse response;
    response.ResultCode = ok ? "200" : "500";
    response.ResultMessage = ok ? t.PrintOk : t.PrintFailed;
    LogFile->WriteLine(ok ? t.PrintOk : t.PrintFailed);
    tally.Answered(response.ResultCode);
    co_return response;
}

asio::awaitable<bool> TMemberMessageHandler::DoWriteCard(const TWriteRequest& request)
{
    co_return co_await RunOnDevice(
        [&request](TBaseMember& device) {
            return device.WriteCard(
                request.CardNo, request.ExpireDate, request.GuestName, request.Score, request.Channel);
        },
        m_connection);
}

asio::awaitable<bool> TMemberMessageHandler::DoReadCard(bool InputPassword, int32_t Channel, TResponse& read)
{
    co_return co_await RunOnDevice(
        [&](TBaseMember& device) {
            return device.ReadCard(
                InputPassword, read.CardNo, read.Password, read.ExpireDate, read.GuestName, read.Score, Channel);
        },
        m_connection);
}

asio::awaitable<bool> TMemberMessageHandler::DoPrintCard(const TPrintRequest& request)
{
    // Written before the device is tried, also when there is none.
    LogFile->WriteLine("Content=" + request.Content);
    co_return co_await RunOnDevice(
        [&request](TBaseMember& device) { return device.PrintCard(request.CardNo, request.Content); }, m_connection);
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
