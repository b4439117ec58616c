#include "member/CardService.h"

#include "base/TextCodec.h"
#include "member/DeviceQueue.h"
#include "log/LogFileUnit.h"
#include "status/ServiceMetrics.h"
#include "status/ServiceStatus.h"

namespace {

struct TTexts {
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

// A card operation on the device thread; fault gets the first printer
// fault the device met in it, asked in the same step, before any other
// transaction can begin. The service status learns how it ended, so a
// printer that keeps failing shows as such.
template <typename TCall> bool NotingFault(TBaseMember& device, std::optional<TPrinterFault>& fault, TCall call)
{
    const bool ok = call();
    fault = device.TransactionFault();
    const bool printerFault = fault
        && (fault->Kind == TPrinterFaultKind::Printer || fault->Kind == TPrinterFaultKind::LibraryCrash
            || fault->Kind == TPrinterFaultKind::LibraryHang);
    ServiceStatus().CardTransactionEnded(ok, printerFault);
    return ok;
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

asio::awaitable<TCardOutcome> TCardService::WriteMemberCard(TWriteRequest request, const TRequestClient* client)
{
    const TTexts& t = Texts();
    TRequestTally tally(TCardRequest::Write);
    TCardOutcome outcome;
    const bool ok = co_await RunOnDevice(
        [&](TBaseMember& device) {
            return NotingFault(device, outcome.Fault, [&] {
                return device.WriteCard(
                    request.CardNo, request.ExpireDate, request.GuestName, request.Score, request.Channel);
            });
        },
        client);
    TResponse& response = outcome.Response;
    response.ResultCode = ok ? "200" : "500";
    response.ResultMessage = ok ? t.WriteOk : t.WriteFailed;
    response.CardNo = request.CardNo;
    LogFile->WriteLine(ok ? t.WriteOkLog : t.WriteFailedLog, request.CardNo);
    tally.Answered(response.ResultCode);
    co_return outcome;
}

asio::awaitable<TCardOutcome> TCardService::ReadMemberCard(TReadRequest request, const TRequestClient* client)
{
    const TTexts& t = Texts();
    TRequestTally tally(TCardRequest::Read);
    TResponse read;
    TCardOutcome outcome;
    const bool ok = co_await RunOnDevice(
        [&](TBaseMember& device) {
            return NotingFault(device, outcome.Fault, [&] {
                return device.ReadCard(request.InputPassword, read.CardNo, read.Password, read.ExpireDate,
                    read.GuestName, read.Score, request.Channel);
            });
        },
        client);
    TResponse& response = outcome.Response;
    if (ok) {
        response.ResultCode = "200";
        response.ResultMessage = t.ReadOk;
        response.CardNo = read.CardNo;
        response.ExpireDate = read.ExpireDate;
        response.GuestName = read.GuestName;
        response.Score = read.Score;
        response.Password = read.Password;
        LogFile->WriteLine(t.ReadOkLog, read.CardNo);
    } else {
        response.ResultCode = "500";
        response.ResultMessage = t.ReadFailed;
        LogFile->WriteLine(t.ReadFailed);
    }
    tally.Answered(response.ResultCode);
    co_return outcome;
}

asio::awaitable<TCardOutcome> TCardService::PrintMemberCard(TPrintRequest request, const TRequestClient* client)
{
    const TTexts& t = Texts();
    TRequestTally tally(TCardRequest::Print);
    // Written before the device is tried, also when there is none.
    LogFile->WriteLine("Content=", request.Content);
    TCardOutcome outcome;
    const bool ok = co_await RunOnDevice(
        [&](TBaseMember& device) {
            return NotingFault(
                device, outcome.Fault, [&] { return device.PrintCard(request.CardNo, request.Content); });
        },
        client);
    TResponse& response = outcome.Response;
    response.ResultCode = ok ? "200" : "500";
    response.ResultMessage = ok ? t.PrintOk : t.PrintFailed;
    LogFile->WriteLine(ok ? t.PrintOk : t.PrintFailed);
    tally.Answered(response.ResultCode);
    co_return outcome;
}
