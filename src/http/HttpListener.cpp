#include "http/HttpListener.h"

#include "base/DataDirectory.h"
#include "base/InfoSink.h"
#include "base/TextCodec.h"
#include "config/HttpOption.h"
#include "http/HttpRules.h"
#include "http/HttpServer.h"
#include "http/IdempotencyStore.h"
#include "listener/RequestListener.h"
#include "log/LogFileUnit.h"
#include "status/ServiceStatus.h"

#include <cstdio>

namespace {

QString Url(const std::string& address, uint16_t port)
{
    const QString host = address.find(':') != std::string::npos
        ? QStringLiteral("[%1]").arg(QString::fromStdString(address))
        : QString::fromStdString(address);
    return QStringLiteral("http://%1:%2").arg(host).arg(port);
}

} // namespace

std::optional<THttpProblem> HttpSettingsProblem(const THttpOption& option)
{
    const QString address = TextCodec::FromGbk(option.BindAddress);
    if (option.Port < 1 || option.Port > 65535) {
        return THttpProblem {QString::fromUtf8("HttpOption 的 Port %1 不是 1 到 65535 之间的端口号").arg(option.Port),
            "Port " + std::to_string(option.Port) + " is not a TCP port (1 to 65535)"};
    }
    if (option.IdempotencyKeySec < 1) {
        return THttpProblem {
            QString::fromUtf8("HttpOption 的 IdempotencyKeySec %1 不是正数").arg(option.IdempotencyKeySec),
            "IdempotencyKeySec " + std::to_string(option.IdempotencyKeySec) + " is not a positive number of seconds"};
    }
    if (option.BindAddress.empty()) {
        return THttpProblem {QString::fromUtf8("HttpOption 的 BindAddress 为空"), "BindAddress is empty"};
    }
    if (!option.Token.empty() && !HttpRules::IsValidToken(option.Token)) {
        return THttpProblem {QString::fromUtf8("HttpOption 的 Token 只能包含字母、数字和 - . _ ~ + / ="),
            "Token may hold only letters, digits and - . _ ~ + / ="};
    }
    if (option.Token.empty() && !HttpRules::IsLoopback(option.BindAddress)) {
        return THttpProblem {
            QString::fromUtf8("BindAddress %1 不是回环地址，其他计算机可以访问，但未设置 Token").arg(address),
            "BindAddress " + address.toStdString()
                + " is not a loopback address, so other computers could reach the API, and no Token is set"};
    }
    return std::nullopt;
}

THttpListener::THttpListener(TInfoSink* InfoMemo, THttpApi::THealthSource health)
    : m_infoMemo(InfoMemo)
    , m_health(std::move(health))
{
}

THttpListener::~THttpListener() = default;

void THttpListener::Start(const THttpOption& option)
{
    if (!option.Enabled) {
        return;
    }
    if (std::optional<THttpProblem> problem = HttpSettingsProblem(option)) {
        Refuse(*std::move(problem));
        return;
    }
    THttpApiSettings settings;
    settings.BindAddress = option.BindAddress;
    settings.AllowedOrigins = HttpRules::OriginList(option.AllowedOrigins);
    settings.Token = option.Token;
    settings.IdempotencyFile = DataDirectory() + TIdempotencyStore::kFileName;
    settings.IdempotencyTime = std::chrono::seconds(option.IdempotencyKeySec);
    auto server = std::make_unique<THttpServer>(std::make_shared<const THttpApi>(std::move(settings), m_health));
    try {
        server->Start(option.BindAddress, static_cast<uint16_t>(option.Port));
    } catch (const std::exception& error) {
        Refuse({QString::fromUtf8("无法在 %1 端口 %2 上监听（端口已被占用，或地址不属于本机）")
                    .arg(TextCodec::FromGbk(option.BindAddress))
                    .arg(option.Port),
            error.what()});
        return;
    }
    m_server = std::move(server);
    const QString url = Url(option.BindAddress, m_server->LocalPort());
    ServiceStatus().HttpApiListening(url);
    const QString line = QString::fromUtf8("HTTP接口已经启动: ") + url;
    LogFile->WriteLine(TextCodec::ToGbk(line));
    if (m_infoMemo != nullptr) {
        m_infoMemo->AppendLine(line);
    }
}

void THttpListener::Refuse(THttpProblem problem)
{
    const QString line = QString::fromUtf8("HTTP接口未启动: ") + problem.Text;
    LogFile->WriteLine(TextCodec::ToGbk(line));
    if (m_infoMemo != nullptr) {
        m_infoMemo->AppendLine(line);
    }
    std::fprintf(stderr, "member-interface: HTTP API not listening: %s\n", problem.English.c_str());
    ServiceStatus().HttpApiRefused(problem.Text);
    m_problem = std::move(problem);
}

void THttpListener::Close()
{
    if (m_server) {
        m_server->Close();
    }
}

bool THttpListener::WaitForConnections(std::chrono::steady_clock::time_point deadline)
{
    return !m_server || m_server->WaitForSessions(deadline);
}

void THttpListener::Stopped()
{
    if (!m_server) {
        return;
    }
    m_server.reset();
    ServiceStatus().HttpApiStopped();
    if (m_infoMemo != nullptr) {
        m_infoMemo->AppendLine(QString::fromUtf8("HTTP接口已经停止。"));
    }
}

void THttpListener::Stop()
{
    Close();
    // A session whose transaction is still running holds what it needs
    // itself; past the wait it is left to finish on its own.
    WaitForConnections(std::chrono::steady_clock::now() + kStopWait);
    Stopped();
}

bool THttpListener::Listening() const
{
    return m_server != nullptr;
}

uint16_t THttpListener::LocalPort() const
{
    return m_server ? m_server->LocalPort() : 0;
}
