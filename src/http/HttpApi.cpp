#include "http/HttpApi.h"

#include "base/AsciiCase.h"
#include "base/TextCodec.h"
#include "member/DeviceQueue.h"
#include "member/CardService.h"
#include "member/MemberMessageHandlerUnit.h"
#include "status/ServiceMetrics.h"
#include "status/ServiceStatus.h"
#include "http/CardJson.h"
#include "http/HttpRules.h"
#include "http/IdempotencyStore.h"
#include "http/OpenApiDocument.h"
#include "log/LogFileUnit.h"

#include <QJsonDocument>

#include <algorithm>
#include <charconv>

namespace {

enum class TEndpoint { Write, Read, Print, Health, Metrics, OpenApi };

struct TRoute {
    std::string_view Path;
    TEndpoint Endpoint;
    // Card requests are POSTs with a body; the rest are GETs without.
    bool Post;
};

constexpr TRoute kRoutes[] = {
    {"/v1/cards/write", TEndpoint::Write, true},
    {"/v1/cards/read", TEndpoint::Read, true},
    {"/v1/cards/print", TEndpoint::Print, true},
    {"/v1/health", TEndpoint::Health, false},
    {"/metrics", TEndpoint::Metrics, false},
    {"/v1/openapi.json", TEndpoint::OpenApi, false},
};

const TRoute* FindRoute(std::string_view path)
{
    const auto* route
        = std::find_if(std::begin(kRoutes), std::end(kRoutes), [path](const TRoute& r) { return r.Path == path; });
    return route == std::end(kRoutes) ? nullptr : route;
}

const char* AllowedMethods(const TRoute& route)
{
    return route.Post ? "POST, OPTIONS" : "GET, HEAD, OPTIONS";
}

bool MethodAllowed(const TRoute& route, std::string_view method)
{
    return route.Post ? method == "POST" : (method == "GET" || method == "HEAD");
}

THttpAnswer JsonAnswer(int status, const QJsonObject& object)
{
    THttpAnswer answer;
    answer.Status = status;
    answer.Body = QJsonDocument(object).toJson(QJsonDocument::Compact).toStdString();
    return answer;
}

// error is for people and may change; code is for programs, which branch
// on it, and stays as documented.
THttpAnswer ErrorAnswer(int status, const char* code, const std::string& error)
{
    return JsonAnswer(status,
        QJsonObject {{QStringLiteral("error"), QString::fromUtf8(error)}, {QStringLiteral("code"), QLatin1String(code)}});
}

// A header value quoted in an error text or the log: cut short, and with
// anything that is not printable ASCII shown as "?".
std::string Quoted(std::string_view value)
{
    constexpr size_t kMaxQuoted = 120;
    std::string text = "'";
    for (const char c : value.substr(0, kMaxQuoted)) {
        text.push_back(c >= 0x20 && c < 0x7F ? c : '?');
    }
    text += value.size() > kMaxQuoted ? "...'" : "'";
    return text;
}

std::optional<size_t> DeclaredLength(const THttpRequest& request)
{
    const std::optional<std::string_view> header = request.Header("Content-Length");
    size_t length = 0;
    if (!header || std::from_chars(header->data(), header->data() + header->size(), length).ec != std::errc()) {
        return std::nullopt;
    }
    return length;
}

THttpAnswer DroppedAnswer(std::error_code reason)
{
    switch (static_cast<TDeviceQueueError>(reason.value())) {
    case TDeviceQueueError::TimedOut:
        return ErrorAnswer(503, "queueTimeout",
            "the request waited longer than QueueTimeoutSec for the printer; it was not carried out");
    case TDeviceQueueError::ClientGone:
        return ErrorAnswer(503, "clientGone", "the client had gone; the request was not carried out");
    case TDeviceQueueError::Stopped:
        break;
    }
    return ErrorAnswer(503, "stopping", "the interface is stopping; the request was not carried out");
}

// A monitor on this computer may read the state without the token, which
// it may not be trusted to hold; it can change nothing.
bool OpenToLocalPeer(const TRoute* route, std::string_view peer)
{
    if (route == nullptr || (route->Endpoint != TEndpoint::Health && route->Endpoint != TEndpoint::Metrics)) {
        return false;
    }
    // A server listening on both IP versions sees IPv4 peers in IPv6 form.
    constexpr std::string_view kMappedV4 = "::ffff:";
    if (peer.size() > kMappedV4.size() && EqualsNoCase(peer.substr(0, kMappedV4.size()), kMappedV4)) {
        peer.remove_prefix(kMappedV4.size());
    }
    return !EqualsNoCase(peer, "localhost") && HttpRules::IsLoopback(peer);
}

const std::string& RefusedText()
{
    static const std::string text = Gbk("HTTP请求被拒绝: ");
    return text;
}

const std::string& ReplayedText()
{
    static const std::string text = Gbk("重复的请求,回复已存的应答: Idempotency-Key ");
    return text;
}

constexpr std::string_view kIdempotencyKey = "Idempotency-Key";

} // namespace

THttpApi::THttpApi(THttpApiSettings settings, THealthSource health)
    : m_settings(std::move(settings))
    , m_health(std::move(health))
    , m_store(std::make_unique<TIdempotencyStore>(m_settings.IdempotencyFile, m_settings.IdempotencyTime))
{
}

THttpApi::~THttpApi() = default;

bool THttpApi::OriginAllowed(std::string_view origin) const
{
    return std::find(m_settings.AllowedOrigins.begin(), m_settings.AllowedOrigins.end(), origin)
        != m_settings.AllowedOrigins.end();
}

THttpAnswer THttpApi::Finish(const THttpRequest& request, THttpAnswer answer) const
{
    const std::optional<std::string_view> origin = request.Header("Origin");
    if (origin && OriginAllowed(*origin)) {
        answer.Headers.emplace_back("Access-Control-Allow-Origin", std::string(*origin));
        // A page's script sees no other header of the answer than the few
        // every answer may show.
        answer.Headers.emplace_back("Access-Control-Expose-Headers", "Idempotent-Replayed");
    }
    answer.Headers.emplace_back("Vary", "Origin");
    answer.Headers.emplace_back("Cache-Control", "no-store");
    answer.Headers.emplace_back("X-Content-Type-Options", "nosniff");
    return answer;
}

// Refusals by the safety rules are logged, so whoever sets the API up can
// see which page or client was turned away and why.
THttpAnswer THttpApi::Refusal(
    const THttpRequest& request, int status, const char* code, const std::string& error) const
{
    LogFile->WriteArrival(RefusedText() + std::to_string(status) + " " + Quoted(request.Method) + " "
        + Quoted(request.Path) + ": " + error);
    THttpAnswer answer = ErrorAnswer(status, code, error);
    if (status == 401) {
        answer.Headers.emplace_back("WWW-Authenticate", "Bearer");
    }
    return Finish(request, std::move(answer));
}

std::optional<THttpAnswer> THttpApi::AnswerBeforeBody(const THttpRequest& request) const
{
    const std::string_view host = request.Header("Host").value_or("");
    if (!HttpRules::HostAllowed(host, m_settings.BindAddress)) {
        return Refusal(request, 421, "hostNotAllowed", "Host " + Quoted(host) + " does not name this server");
    }
    const std::optional<std::string_view> origin = request.Header("Origin");
    if (origin && !OriginAllowed(*origin)) {
        return Refusal(request, 403, "originNotAllowed", "Origin " + Quoted(*origin) + " is not allowed (AllowedOrigins)");
    }

    const TRoute* route = FindRoute(request.Path);
    if (request.Method == "OPTIONS") {
        // Browsers never send credentials with a preflight, so it needs no
        // token; it grants nothing by itself.
        if (route == nullptr) {
            return Finish(request, ErrorAnswer(404, "notFound", "no such path: " + Quoted(request.Path)));
        }
        THttpAnswer answer;
        answer.Status = 204;
        answer.Headers.emplace_back("Allow", AllowedMethods(*route));
        if (origin) {
            answer.Headers.emplace_back("Access-Control-Allow-Methods", route->Post ? "POST" : "GET");
            answer.Headers.emplace_back("Access-Control-Allow-Headers", "Authorization, Content-Type, Idempotency-Key");
            answer.Headers.emplace_back("Access-Control-Max-Age", "600");
            // A public site calling this computer: Chromium asks first.
            if (request.Header("Access-Control-Request-Private-Network")) {
                answer.Headers.emplace_back("Access-Control-Allow-Private-Network", "true");
            }
        }
        return Finish(request, std::move(answer));
    }

    if (!m_settings.Token.empty() && !OpenToLocalPeer(route, request.RemoteAddress)
        && !HttpRules::BearerTokenMatches(request.Header("Authorization").value_or(""), m_settings.Token)) {
        return Refusal(request, 401, "tokenRequired", "a valid Authorization: Bearer token is required");
    }
    if (route == nullptr) {
        return Finish(request, ErrorAnswer(404, "notFound", "no such path: " + Quoted(request.Path)));
    }
    if (!MethodAllowed(*route, request.Method)) {
        THttpAnswer answer
            = ErrorAnswer(405, "methodNotAllowed", Quoted(request.Method) + " is not allowed on " + std::string(route->Path));
        answer.Headers.emplace_back("Allow", AllowedMethods(*route));
        return Finish(request, std::move(answer));
    }

    if (route->Endpoint == TEndpoint::Health) {
        const THealthReport report = m_health ? m_health() : THealthReport();
        // A monitor that looks only at the status code sees the difference.
        const int status = HealthProblems(report).empty() ? 200 : 503;
        return Finish(request, JsonAnswer(status, HealthObject(report)));
    }
    if (route->Endpoint == TEndpoint::Metrics) {
        THttpAnswer answer;
        answer.Headers.emplace_back("Content-Type", TServiceMetrics::kContentType);
        answer.Body = CurrentMetrics();
        return Finish(request, std::move(answer));
    }
    if (route->Endpoint == TEndpoint::OpenApi) {
        THttpAnswer answer;
        answer.Body = OpenApiDocument();
        return Finish(request, std::move(answer));
    }

    const std::string_view encoding = request.Header("Content-Encoding").value_or("identity");
    if (!EqualsNoCase(encoding, "identity")) {
        return Finish(request, ErrorAnswer(415, "unsupportedMediaType", "Content-Encoding " + Quoted(encoding) + " is not accepted"));
    }
    if (!HttpRules::IsJsonContentType(request.Header("Content-Type").value_or(""))) {
        return Finish(request, ErrorAnswer(415, "unsupportedMediaType", "Content-Type must be application/json"));
    }
    const std::optional<std::string_view> key = request.Header(kIdempotencyKey);
    if (key && !TIdempotencyStore::ValidKey(*key)) {
        return Finish(request,
            ErrorAnswer(400, "badIdempotencyKey",
                "Idempotency-Key must be 1 to " + std::to_string(TIdempotencyStore::kMaxKeyLength)
                    + " visible ASCII characters"));
    }
    if (DeclaredLength(request).value_or(0) > kMaxBody) {
        return TransportError(request, 413);
    }
    return std::nullopt;
}

asio::awaitable<THttpAnswer> THttpApi::AnswerWithBody(const THttpRequest& request, const TRequestClient* client) const
{
    const TRoute* route = FindRoute(request.Path);
    if (route == nullptr || !route->Post) {
        co_return Finish(request, ErrorAnswer(404, "notFound", "no such path: " + Quoted(request.Path)));
    }
    TMemberMessageHandler::LogArrival(
        QString::fromUtf8(request.Body.data(), static_cast<qsizetype>(request.Body.size())),
        request.Method + " " + request.Path);
    // Claimed until the request has its answer; released unanswered when
    // it never reached the printer, so a retry with the key runs.
    std::unique_ptr<TIdempotencyStore::TClaim> claim;
    if (const std::optional<std::string_view> key = request.Header(kIdempotencyKey)) {
        TIdempotencyStore::TLookup lookup = co_await m_store->Look(
            std::string(*key), TIdempotencyStore::Fingerprint(request.Path, request.Body));
        if (lookup.Verdict == TIdempotencyStore::TVerdict::Replay) {
            LogFile->WriteLine(ReplayedText() + Quoted(*key));
            THttpAnswer answer;
            answer.Status = lookup.Answer.Status;
            answer.Body = std::move(lookup.Answer.Body);
            answer.Headers.emplace_back("Idempotent-Replayed", "true");
            co_return Finish(request, std::move(answer));
        }
        if (lookup.Verdict == TIdempotencyStore::TVerdict::Mismatch) {
            co_return Finish(request,
                ErrorAnswer(422, "idempotencyKeyReused", "Idempotency-Key " + Quoted(*key) + " was used for a request with another body"));
        }
        claim = std::move(lookup.Claim);
    }
    std::optional<THttpAnswer> refused;
    try {
        // Every field is read before the request takes its turn: a request
        // the API cannot take never reaches the printer.
        const QJsonObject object = CardJson::ParseObject(request.Body);
        const QJsonValue requestId = CardJson::RequestId(object);
        TCardService service;
        TCardOutcome outcome;
        switch (route->Endpoint) {
        case TEndpoint::Write:
            outcome = co_await service.WriteMemberCard(CardJson::WriteRequest(object), client);
            break;
        case TEndpoint::Read:
            outcome = co_await service.ReadMemberCard(CardJson::ReadRequest(object), client);
            break;
        default:
            outcome = co_await service.PrintMemberCard(CardJson::PrintRequest(object), client);
            break;
        }
        const TResponse& response = outcome.Response;
        ServiceStatus().RequestAnswered(response.ResultCode != "200", response.ResultMessage);
        THttpAnswer answer = JsonAnswer(200, CardJson::ResponseObject(outcome, requestId));
        if (claim) {
            claim->Store({answer.Status, answer.Body});
        }
        co_return Finish(request, std::move(answer));
    } catch (const EBadRequest& error) {
        refused = Finish(request, ErrorAnswer(400, "badRequest", error.what()));
    } catch (const ERequestDropped& dropped) {
        refused = Finish(request, DroppedAnswer(dropped.Reason));
    }
    co_return *std::move(refused);
}

asio::awaitable<THttpAnswer> THttpApi::Answer(const THttpRequest& request) const
{
    if (std::optional<THttpAnswer> answer = AnswerBeforeBody(request)) {
        co_return *std::move(answer);
    }
    if (request.Body.size() > kMaxBody) {
        co_return TransportError(request, 413);
    }
    co_return co_await AnswerWithBody(request, nullptr);
}

THttpAnswer THttpApi::TransportError(const THttpRequest& request, int status) const
{
    const char* code = "malformedRequest";
    std::string error;
    switch (status) {
    case 413:
        code = "payloadTooLarge";
        error = "the body is longer than " + std::to_string(kMaxBody) + " bytes";
        break;
    case 431:
        code = "headerTooLarge";
        error = "the request's header, with any trailer, is longer than " + std::to_string(kMaxHeader) + " bytes";
        break;
    case 501:
        code = "transferEncodingNotSupported";
        error = "no Transfer-Encoding is accepted but chunked";
        break;
    case 503:
        code = "queueFull";
        error = "too many requests are waiting for the printer; try again later";
        break;
    case 500:
        code = "internalError";
        error = "the request failed inside the interface";
        break;
    default:
        error = "malformed HTTP request";
        break;
    }
    return Finish(request, ErrorAnswer(status, code, error));
}
