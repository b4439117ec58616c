#include "member/MemberMessageHandlerUnit.h"

#include "base/StrToInt.h"
#include "base/TextCodec.h"
#include "member/ClientConnection.h"
#include "member/DeviceLock.h"
#include "member/RequestDocument.h"
#include "member/ServiceStatus.h"
#include "shell/log/LogFileUnit.h"

#include <QDomDocument>

#include <mutex>

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
};

const TTexts& Texts()
{
    static const TTexts texts;
    return texts;
}

// The first direct child of that exact name; deeper elements do not count.
std::string RequiredValue(const QDomElement& root, const QString& name)
{
    const QDomElement element = root.firstChildElement(name);
    if (element.isNull()) {
        throw ERequestAbandoned("missing element " + name.toStdString());
    }
    return TextCodec::ToGbk(element.text());
}

std::string OptionalValue(const QDomElement& root, const QString& name)
{
    const QDomElement element = root.firstChildElement(name);
    return element.isNull() ? std::string() : TextCodec::ToGbk(element.text());
}

// -1, the hotel's own card, when the request names no channel.
int32_t ChannelValue(const QDomElement& root)
{
    const QDomElement element = root.firstChildElement(QStringLiteral("Channel"));
    if (element.isNull()) {
        return -1;
    }
    const std::string text = TextCodec::ToGbk(element.text());
    int32_t channel = 0;
    if (!TryStrToInt(text, channel)) {
        throw ERequestAbandoned("'" + text + "' is not a valid integer value");
    }
    return channel;
}

} // namespace

TMemberMessageHandler::TMemberMessageHandler(TInfoSink* InfoMemo)
    : m_infoMemo(InfoMemo)
{
}

void TMemberMessageHandler::HandleMessage(TClientConnection& connection, const QString& text)
{
    const TTexts& t = Texts();
    LogFile->WriteLine(t.Received + TextCodec::ToGbk(text));

    TResponse response;
    const QDomDocument doc = ParseRequestDocument(text);
    const QDomElement root = doc.documentElement();
    const std::string type = TextCodec::ToGbk(root.attribute(QStringLiteral("type")));

    if (type == "WriteMemberCard") {
        const std::string cardNo = RequiredValue(root, QStringLiteral("CardNo"));
        const bool ok = DoWriteCard(root);
        response.ResultCode = ok ? "200" : "500";
        response.ResultMessage = ok ? t.WriteOk : t.WriteFailed;
        response.CardNo = cardNo;
        LogFile->WriteLine((ok ? t.WriteOkLog : t.WriteFailedLog) + cardNo);
        SendResponse(connection, response);
    } else if (type == "ReadMemberCard") {
        const bool inputPassword = RequiredValue(root, QStringLiteral("InputPassword")) == "1";
        const int32_t channel = ChannelValue(root);
        TResponse read;
        if (DoReadCard(inputPassword, channel, read)) {
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
        SendResponse(connection, response);
    } else if (type == "PrintMemberCard") {
        const bool ok = DoPrintCard(root);
        response.ResultCode = ok ? "200" : "500";
        response.ResultMessage = ok ? t.PrintOk : t.PrintFailed;
        LogFile->WriteLine(ok ? t.PrintOk : t.PrintFailed);
        SendResponse(connection, response);
    }
}

bool TMemberMessageHandler::DoWriteCard(const QDomElement& root)
{
    RequiredValue(root, QStringLiteral("RequestID"));
    const std::string cardNo = RequiredValue(root, QStringLiteral("CardNo"));
    const std::string expireDate = RequiredValue(root, QStringLiteral("ExpireDate"));
    const std::string guestName = RequiredValue(root, QStringLiteral("GuestName"));
    const std::string score = RequiredValue(root, QStringLiteral("Score"));
    const int32_t channel = ChannelValue(root);
    // Looked at under the lock: shut-down takes the device away under it.
    std::scoped_lock lock(DeviceLock);
    TBaseMember* device = CurrentMemberDevice;
    if (device == nullptr) {
        return false;
    }
    return device->WriteCard(cardNo, expireDate, guestName, score, channel);
}

bool TMemberMessageHandler::DoReadCard(bool InputPassword, int32_t Channel, TResponse& read)
{
    // Looked at under the lock: shut-down takes the device away under it.
    std::scoped_lock lock(DeviceLock);
    TBaseMember* device = CurrentMemberDevice;
    if (device == nullptr) {
        return false;
    }
    return device->ReadCard(
        InputPassword, read.CardNo, read.Password, read.ExpireDate, read.GuestName, read.Score, Channel);
}

bool TMemberMessageHandler::DoPrintCard(const QDomElement& root)
{
    RequiredValue(root, QStringLiteral("RequestID"));
    const std::string cardNo = RequiredValue(root, QStringLiteral("CardNo"));
    const std::string content = OptionalValue(root, QStringLiteral("Content"));
    LogFile->WriteLine("Content=" + content);
    // Looked at under the lock: shut-down takes the device away under it.
    std::scoped_lock lock(DeviceLock);
    TBaseMember* device = CurrentMemberDevice;
    if (device == nullptr) {
        return false;
    }
    return device->PrintCard(cardNo, content);
}

void TMemberMessageHandler::SendResponse(TClientConnection& connection, const TResponse& response)
{
    ServiceStatus().RequestAnswered(response.ResultCode != "200", TextCodec::FromGbk(response.ResultMessage));
    std::string bytes = BuildResponseText(response);
    bytes.push_back('\0');
    try {
        connection.Write(bytes);
    } catch (const std::exception&) {
        // The client has gone; there is nobody left to tell.
    }
}
