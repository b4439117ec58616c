#include "http/HttpApi.h"

#include "base/TextCodec.h"
#include "member/DeviceQueue.h"
#include "member/MemberMessageHandlerUnit.h"
#include "member/TRWGII2010DMemberUnit.h"
#include "status/ServiceStatus.h"

#include "support/DeviceHold.h"
#include "support/RecordingMember.h"
#include "support/RunToEnd.h"
#include "support/ScriptedPrinterLibrary.h"
#include "support/TestEnvironment.h"

#include <gtest/gtest.h>

#include <QDomDocument>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <map>
#include <thread>

namespace {

const std::string kAllowed = "https://pms.example.com";
const char* const kFields[] = {"resultCode", "resultMessage", "cardNo", "expireDate", "guestName", "score", "password"};
const char* const kElements[]
    = {"ResultCode", "ResultMessage", "CardNo", "ExpireDate", "GuestName", "Score", "Password"};

THttpRequest Request(const std::string& method, const std::string& path, const std::string& body = "",
    THttpHeaders headers = {{"Host", "127.0.0.1:8884"}, {"Content-Type", "application/json"}})
{
    return THttpRequest {method, path, std::move(headers), body, ""};
}

THttpRequest With(THttpRequest request, const std::string& name, const std::string& value)
{
    std::erase_if(request.Headers, [&](const auto& header) { return header.first == name; });
    request.Headers.emplace_back(name, value);
    return request;
}

QJsonObject Json(const THttpAnswer& answer)
{
    return QJsonDocument::fromJson(QByteArray::fromStdString(answer.Body)).object();
}

std::string Error(const THttpAnswer& answer)
{
    return Json(answer).value(QStringLiteral("error")).toString().toStdString();
}

class HttpApiTest : public TProcessObjectsTest {
protected:
    void SetUp() override
    {
        TProcessObjectsTest::SetUp();
        CurrentMemberDevice = &m_device;
    }

    THttpAnswer Answer(const THttpRequest& request, const std::string& token = "") const
    {
        THttpApiSettings settings;
        settings.AllowedOrigins = {kAllowed};
        settings.Token = token;
        const THttpApi api(settings, [this] { return m_health; });
        return RunToEnd(api.Answer(request));
    }

    static THealthReport Serving()
    {
        THealthReport report;
        report.MemberPort = 8883;
        report.Listening = true;
        report.PrinterLibrary = "simulator";
        report.PortOpen = true;
        report.Queued = 2;
        report.AnsweredToday = 41;
        report.FailedToday = 3;
        return report;
    }

    THealthReport m_health = Serving();

    // The values of the TCP answer to the same request, by API field name.
    std::map<std::string, std::string> TcpAnswer(const std::string& xml)
    {
        TRecordingConnection connection;
        TMemberMessageHandler handler;
        RunToEnd(handler.HandleMessage(connection, QString::fromUtf8(xml)));
        std::string text = connection.Written;
        if (!text.empty() && text.back() == '\0') {
            text.pop_back();
        }
        QDomDocument document;
        EXPECT_TRUE(document.setContent(QString::fromUtf8(text)));
        std::map<std::string, std::string> fields;
        for (size_t i = 0; i < std::size(kFields); ++i) {
            fields[kFields[i]]
                = document.documentElement().firstChildElement(QString::fromLatin1(kElements[i])).text().toStdString();
        }
        return fields;
    }

    static std::map<std::string, std::string> HttpAnswer(const THttpAnswer& answer)
    {
        std::map<std::string, std::string> fields;
        const QJsonObject object = Json(answer);
        for (const char* field : kFields) {
            EXPECT_TRUE(object.value(QString::fromLatin1(field)).isString()) << field;
            fields[field] = object.value(QString::fromLatin1(field)).toString().toStdString();
        }
        return fields;
    }

    // The log after its arrival entries, which differ by protocol.
    std::vector<std::string> Outcomes() const
    {
        std::vector<std::string> lines = Log();
        std::erase_if(lines, [](const std::string& line) { return line.starts_with(Gbk("收到消息")); });
        return lines;
    }

    TRecordingMember m_device;
};

TEST_F(HttpApiTest, CardAnswersCarryTheTcpValuesAndLogTheSameLines)
{
    struct TCase {
        const char* Path;
        const char* Json;
        const char* Xml;
    };
    // 😀 has no GBK form, \u0001 no XML form: both arrive as "?" either way.
    const TCase cases[] = {
        {"/v1/cards/write",
            R"({"requestId":"A-1","cardNo":"00012345","expireDate":"2027-12-31","guestName":"张三😀","score":"100","channel":11})",
            "<r type=\"WriteMemberCard\"><RequestID>A-1</RequestID><CardNo>00012345</CardNo><ExpireDate>2027-12-31"
            "</ExpireDate><GuestName>张三😀</GuestName><Score>100</Score><Channel>11</Channel></r>"},
        {"/v1/cards/read", R"({"inputPassword":true})",
            "<r type=\"ReadMemberCard\"><InputPassword>1</InputPassword></r>"},
        {"/v1/cards/print", R"({"requestId":8,"cardNo":"9","content":"\r\n当前消费:100\r\n卡内余额:300"})",
            "<r type=\"PrintMemberCard\"><RequestID>8</RequestID><CardNo>9</CardNo>"
            "<Content>&#13;\n当前消费:100&#13;\n卡内余额:300</Content></r>"},
    };
    m_device.ReadCardNo = "0001\x01"
                          "2345";
    m_device.ReadGuestName = Gbk("李四");
    for (const bool result : {true, false}) {
        m_device.Result = result;
        for (const TCase& c : cases) {
            const size_t before = Outcomes().size();
            const auto tcp = TcpAnswer(c.Xml);
            const auto afterTcp = Outcomes();
            const auto tcpCall = m_device.Calls().back();

            const THttpAnswer answer = Answer(Request("POST", c.Path, c.Json));
            EXPECT_EQ(answer.Status, 200) << answer.Body;
            EXPECT_EQ(HttpAnswer(answer), tcp) << c.Path;
            const auto httpCall = m_device.Calls().back();
            EXPECT_EQ(httpCall.Operation, tcpCall.Operation);
            EXPECT_EQ(httpCall.Args, tcpCall.Args) << c.Path;
            const auto afterHttp = Outcomes();
            ASSERT_GE(afterHttp.size(), afterTcp.size());
            EXPECT_EQ(std::vector<std::string>(afterHttp.begin() + static_cast<long>(afterTcp.size()), afterHttp.end()),
                std::vector<std::string>(afterTcp.begin() + static_cast<long>(before), afterTcp.end()))
                << c.Path;
        }
    }
    EXPECT_EQ(m_device.Calls()[0].Args[2], Gbk("张三") + "?");
}

// A failed card operation says why over HTTP: the printer's first fault of
// that transaction, or the result message when the printer named none.
TEST_F(HttpApiTest, FailedAnswersCarryThePrintersReason)
{
    class TJammedMember : public TRecordingMember {
    public:
        bool WriteCard(std::string, std::string, std::string, std::string, int32_t) override
        {
            m_fault = TPrinterFault {
                TPrinterStep::CardIn, TPrinterFaultKind::Printer, 56, "Card jam B", Gbk("进卡失败:Card jam B")};
            return false;
        }
        std::optional<TPrinterFault> TransactionFault() const override { return m_fault; }

    private:
        std::optional<TPrinterFault> m_fault;
    };
    TJammedMember jammed;
    const std::string write = R"({"cardNo":"1","expireDate":"","guestName":"","score":""})";
    CurrentMemberDevice = &jammed;
    EXPECT_EQ(Json(Answer(Request("POST", "/v1/cards/write", write))).value(QStringLiteral("reason")).toString(),
        QString::fromUtf8("进卡失败:Card jam B"));
    CurrentMemberDevice = &m_device;
    m_device.Result = false;
    EXPECT_EQ(Json(Answer(Request("POST", "/v1/cards/write", write))).value(QStringLiteral("reason")).toString(),
        QString::fromUtf8("写卡失败"));
    m_device.Result = true;
    EXPECT_FALSE(Json(Answer(Request("POST", "/v1/cards/write", write))).contains(QStringLiteral("reason")));
}

TEST_F(HttpApiTest, ArrivalEntryHoldsMethodPathAndBodyAndRequestIdIsEchoed)
{
    const std::string body = R"({"requestId":"张-1","cardNo":"42","expireDate":"","guestName":"","score":""})";
    const THttpAnswer answer = Answer(Request("POST", "/v1/cards/write", body));
    EXPECT_EQ(Log().front(), Gbk("收到消息: \r\n\tPOST /v1/cards/write\r\n\t") + Gbk(body));
    EXPECT_EQ(Json(answer).value(QStringLiteral("requestId")).toString(), QString::fromUtf8("张-1"));

    EXPECT_EQ(Json(Answer(Request("POST", "/v1/cards/read", R"({"requestId":17})"))).value(QStringLiteral("requestId")),
        QJsonValue(17));
    const QJsonObject none = Json(Answer(Request("POST", "/v1/cards/read", "{}")));
    EXPECT_TRUE(none.contains(QStringLiteral("requestId")));
    EXPECT_TRUE(none.value(QStringLiteral("requestId")).isNull());
}

TEST_F(HttpApiTest, BadBodiesAnswer400NamingTheFieldAndNeverReachTheDevice)
{
    struct TCase {
        const char* Path;
        const char* Body;
        const char* Error;
    };
    const TCase cases[] = {
        {"/v1/cards/write", R"({"cardNo":"1",)", "not valid JSON"},
        {"/v1/cards/write", "", "not valid JSON"},
        {"/v1/cards/write", R"(["cardNo"])", "must be a JSON object"},
        {"/v1/cards/write", R"({"expireDate":"","guestName":"","score":""})", "cardNo is required"},
        {"/v1/cards/write", R"({"cardNo":"1","guestName":"","score":""})", "expireDate is required"},
        {"/v1/cards/write", R"({"cardNo":"1","expireDate":"","score":""})", "guestName is required"},
        {"/v1/cards/write", R"({"cardNo":"1","expireDate":"","guestName":""})", "score is required"},
        {"/v1/cards/write", R"({"cardNo":12345,"expireDate":"","guestName":"","score":""})", "cardNo must be a string"},
        {"/v1/cards/write", R"({"cardNo":"1","expireDate":"","guestName":"","score":100})", "score must be a string"},
        {"/v1/cards/write", R"({"cardNo":null,"expireDate":"","guestName":"","score":""})", "cardNo must be a string"},
        {"/v1/cards/write", R"({"cardNo":"1\u0000","expireDate":"","guestName":"","score":""})",
            "cardNo holds a control character"},
        {"/v1/cards/write", R"({"cardNo":"1","expireDate":"","guestName":"","score":"","channel":"11"})", "channel"},
        {"/v1/cards/write", R"({"cardNo":"1","expireDate":"","guestName":"","score":"","channel":1.5})", "channel"},
        {"/v1/cards/write", R"({"cardNo":"1","expireDate":"","guestName":"","score":"","channel":3000000000})",
            "channel"},
        {"/v1/cards/write", R"({"requestId":{},"cardNo":"1","expireDate":"","guestName":"","score":""})",
            "requestId must be a string or a number"},
        {"/v1/cards/read", R"({"inputPassword":"1"})", "inputPassword must be true or false"},
        {"/v1/cards/read", R"({"channel":true})", "channel"},
        {"/v1/cards/print", R"({"content":"x"})", "cardNo is required"},
        {"/v1/cards/print", R"({"cardNo":"1","content":7})", "content must be a string"},
    };
    for (const TCase& c : cases) {
        const THttpAnswer answer = Answer(Request("POST", c.Path, c.Body));
        EXPECT_EQ(answer.Status, 400) << c.Body;
        EXPECT_NE(Error(answer).find(c.Error), std::string::npos) << c.Body << " -> " << answer.Body;
    }
    EXPECT_TRUE(m_device.Calls().empty());
    // The request arrived and is logged as such, nothing more.
    EXPECT_EQ(Log().size(), std::size(cases));
}

// Sends: POST /v1/cards/write with a well-formed body and
// "Origin: https://attacker.example"; OPTIONS preflights from the listed
// and an unlisted origin.
TEST_F(HttpApiTest, UnlistedOriginsAreRefusedAndListedOnesGetCors)
{
    const std::string body = R"({"cardNo":"1","expireDate":"","guestName":"","score":""})";
    const THttpAnswer refused
        = Answer(With(Request("POST", "/v1/cards/write", body), "Origin", "https://attacker.example"));
    EXPECT_EQ(refused.Status, 403);
    EXPECT_NE(Error(refused).find("https://attacker.example"), std::string::npos);
    EXPECT_EQ(refused.Header("Access-Control-Allow-Origin"), std::nullopt);
    EXPECT_TRUE(m_device.Calls().empty());
    ASSERT_EQ(Log().size(), 1u);
    EXPECT_TRUE(Log().front().starts_with(Gbk("HTTP请求被拒绝: 403 'POST' '/v1/cards/write': Origin")));

    const THttpAnswer preflight
        = Answer(With(With(Request("OPTIONS", "/v1/cards/write", "", {{"Host", "localhost:8884"}}), "Origin", kAllowed),
            "Access-Control-Request-Method", "POST"));
    EXPECT_EQ(preflight.Status, 204);
    EXPECT_EQ(preflight.Header("Access-Control-Allow-Origin"), kAllowed);
    EXPECT_EQ(preflight.Header("Access-Control-Allow-Methods"), "POST");
    EXPECT_EQ(preflight.Header("Access-Control-Allow-Headers"), "Authorization, Content-Type, Idempotency-Key");
    EXPECT_EQ(preflight.Header("Vary"), "Origin");
    EXPECT_EQ(preflight.Header("Access-Control-Allow-Private-Network"), std::nullopt);
    const THttpAnswer fromPublicSite = Answer(With(
        With(Request("OPTIONS", "/v1/health"), "Origin", kAllowed), "Access-Control-Request-Private-Network", "true"));
    EXPECT_EQ(fromPublicSite.Header("Access-Control-Allow-Methods"), "GET");
    EXPECT_EQ(fromPublicSite.Header("Access-Control-Allow-Private-Network"), "true");

    const THttpAnswer foreignPreflight
        = Answer(With(Request("OPTIONS", "/v1/cards/write"), "Origin", "http://localhost:9999"));
    EXPECT_EQ(foreignPreflight.Status, 403);
    EXPECT_EQ(foreignPreflight.Header("Access-Control-Allow-Origin"), std::nullopt);
    EXPECT_EQ(foreignPreflight.Header("Access-Control-Allow-Methods"), std::nullopt);

    // Every answer to the listed origin names it, errors included.
    for (const THttpRequest& request : {Request("POST", "/v1/cards/write", body),
             Request("POST", "/v1/cards/write", "{}"), Request("GET", "/v1/health"), Request("GET", "/v1/nothing")}) {
        const THttpAnswer answer = Answer(With(request, "Origin", kAllowed));
        EXPECT_EQ(answer.Header("Access-Control-Allow-Origin"), kAllowed) << request.Path << " " << answer.Status;
        EXPECT_EQ(answer.Header("Vary"), "Origin");
    }
    EXPECT_EQ(m_device.Calls().size(), 1u);
}

// Sends: requests whose Host is a name other than the loopback's (as after
// DNS rebinding), or missing.
TEST_F(HttpApiTest, HostMustNameTheServer)
{
    const std::string body = R"({"cardNo":"1","expireDate":"","guestName":"","score":""})";
    for (const char* host : {"attacker.example:8884", "127.0.0.1.nip.example:8884", ""}) {
        const THttpAnswer answer = Answer(With(Request("POST", "/v1/cards/write", body), "Host", host));
        EXPECT_EQ(answer.Status, 421) << host;
    }
    EXPECT_EQ(Answer(Request("GET", "/v1/health", "", {})).Status, 421);
    EXPECT_TRUE(m_device.Calls().empty());
}

// Sends: requests with no Authorization header, a wrong token, another
// scheme, and the right token; a preflight without any.
TEST_F(HttpApiTest, TokenIsRequiredWhenSet)
{
    const std::string token = "k9-Zq_7";
    const THttpRequest write
        = Request("POST", "/v1/cards/write", R"({"cardNo":"1","expireDate":"","guestName":"","score":""})");
    for (const char* authorization : {"", "Bearer k9-Zq_", "Bearer k9-Zq_77", "Basic k9-Zq_7", "k9-Zq_7"}) {
        const THttpAnswer answer = Answer(With(write, "Authorization", authorization), token);
        EXPECT_EQ(answer.Status, 401) << authorization;
        EXPECT_EQ(answer.Header("WWW-Authenticate"), "Bearer");
    }
    EXPECT_EQ(Answer(Request("GET", "/v1/health"), token).Status, 401);
    EXPECT_EQ(Answer(Request("GET", "/v1/nothing"), token).Status, 401);
    // Reading the state from this computer needs no token; from elsewhere,
    // and anything else from this computer, it does.
    const struct {
        const char* method;
        const char* path;
        const char* peer;
        int status;
    } peers[] = {
        {"GET", "/v1/health", "127.0.0.1", 200},
        {"GET", "/v1/health", "::1", 200},
        {"GET", "/v1/health", "::ffff:127.0.0.1", 200},
        {"GET", "/metrics", "127.0.0.1", 200},
        {"GET", "/v1/health", "192.168.1.30", 401},
        {"GET", "/metrics", "192.168.1.30", 401},
        {"GET", "/v1/health", "localhost", 401},
        {"GET", "/v1/openapi.json", "127.0.0.1", 401},
        {"POST", "/v1/cards/write", "127.0.0.1", 401},
    };
    for (const auto& c : peers) {
        THttpRequest request = Request(c.method, c.path, std::string(c.method) == "POST" ? "{}" : "");
        request.RemoteAddress = c.peer;
        EXPECT_EQ(Answer(request, token).Status, c.status) << c.path << " from " << c.peer;
    }
    EXPECT_TRUE(m_device.Calls().empty());

    EXPECT_EQ(Answer(With(write, "Authorization", "Bearer k9-Zq_7"), token).Status, 200);
    EXPECT_EQ(m_device.Calls().size(), 1u);
    EXPECT_EQ(Answer(With(With(Request("OPTIONS", "/v1/cards/write"), "Origin", kAllowed),
                         "Access-Control-Request-Method", "POST"),
                  token)
                  .Status,
        204);
}

// Sends: card writes as text/plain, as a form, as multipart, without a
// media type, and gzip-compressed: what a page may send to any origin
// without a preflight never reaches the printer.
TEST_F(HttpApiTest, OnlyUncompressedJsonPostsReachTheDevice)
{
    const THttpRequest write
        = Request("POST", "/v1/cards/write", R"({"cardNo":"1","expireDate":"","guestName":"","score":""})");
    for (const char* type :
        {"text/plain", "application/x-www-form-urlencoded", "multipart/form-data; boundary=b", ""}) {
        EXPECT_EQ(Answer(With(write, "Content-Type", type)).Status, 415) << type;
    }
    EXPECT_EQ(Answer(With(write, "Content-Encoding", "gzip")).Status, 415);
    EXPECT_TRUE(m_device.Calls().empty());
}

TEST_F(HttpApiTest, PathsMethodsAndLengths)
{
    struct TCase {
        const char* Method;
        const char* Path;
        int Status;
        const char* Allow;
    };
    const TCase cases[] = {
        {"GET", "/v1/cards/write", 405, "POST, OPTIONS"},
        {"PUT", "/v1/cards/read", 405, "POST, OPTIONS"},
        {"DELETE", "/v1/cards/print", 405, "POST, OPTIONS"},
        {"POST", "/v1/health", 405, "GET, HEAD, OPTIONS"},
        {"TRACE", "/v1/openapi.json", 405, "GET, HEAD, OPTIONS"},
        {"POST", "/v1/cards/erase", 404, nullptr},
        {"POST", "/v1/cards/write/", 404, nullptr},
        {"GET", "/", 404, nullptr},
        {"OPTIONS", "/v2/health", 404, nullptr},
        {"HEAD", "/v1/health", 200, nullptr},
        {"OPTIONS", "/v1/health", 204, "GET, HEAD, OPTIONS"},
    };
    for (const TCase& c : cases) {
        const THttpAnswer answer = Answer(Request(c.Method, c.Path, "{}"));
        EXPECT_EQ(answer.Status, c.Status) << c.Method << " " << c.Path;
        if (c.Allow != nullptr) {
            EXPECT_EQ(answer.Header("Allow"), c.Allow) << c.Method << " " << c.Path;
        }
        if (c.Status >= 400) {
            EXPECT_FALSE(Error(answer).empty());
        }
    }
    const std::string large(THttpApi::kMaxBody + 1, ' ');
    EXPECT_EQ(Answer(With(Request("POST", "/v1/cards/write", ""), "Content-Length", "16385")).Status, 413);
    EXPECT_EQ(Answer(Request("POST", "/v1/cards/write", large)).Status, 413);
    EXPECT_TRUE(m_device.Calls().empty());
}

// Sends: a write while the printer is busy, then the program stops.
TEST_F(HttpApiTest, RequestsQueuedWhenTheProgramStopsAnswer503AndWriteNothing)
{
    THttpAnswer answer;
    std::thread request;
    {
        const TDeviceHold busy;
        request = std::thread([&] {
            answer = Answer(
                Request("POST", "/v1/cards/write", R"({"cardNo":"1","expireDate":"","guestName":"","score":""})"));
        });
        while (DeviceQueue.Queued() < 2) {
            std::this_thread::yield();
        }
        DeviceQueue.StopRequests();
        request.join();
    }
    const THttpAnswer later = Answer(Request("POST", "/v1/cards/read", "{}"));
    DeviceQueue.AcceptRequests();

    EXPECT_EQ(answer.Status, 503);
    EXPECT_EQ(later.Status, 503);
    EXPECT_FALSE(Error(answer).empty());
    EXPECT_TRUE(m_device.Calls().empty());
    EXPECT_EQ(Outcomes(), (std::vector<std::string> {Gbk("服务器停止,请求未执行."), Gbk("服务器停止,请求未执行.")}));
}

TEST_F(HttpApiTest, HealthIsOkOnlyWhenThePrinterCanServe)
{
    const THttpAnswer health = Answer(Request("GET", "/v1/health"));
    EXPECT_EQ(health.Status, 200);
    EXPECT_EQ(Json(health),
        QJsonDocument::fromJson(
            R"({"status":"ok","reasons":[],"version":")" MEMBER_VERSION R"(","memberPort":8883,"listening":true,)"
            R"("printerLibrary":"simulator","portOpen":true,"queued":2,"answeredToday":41,"failedToday":3})")
            .object());

    THealthReport noLibrary = Serving();
    noLibrary.PrinterLibrary = "none";
    noLibrary.PrinterLibraryError = "libRCPV11_VCDLL.so: cannot open shared object file";
    noLibrary.PortOpen = false;
    THealthReport portClosed = Serving();
    portClosed.PortOpen = false;
    THealthReport notListening = Serving();
    notListening.Listening = false;
    const struct {
        const char* name;
        THealthReport report;
        std::vector<std::string> reasons;
    } cases[] = {
        {"no library", noLibrary,
            {"no printer library loaded: libRCPV11_VCDLL.so: cannot open shared object file", "printer port not open"}},
        {"port closed", portClosed, {"printer port not open"}},
        {"not listening", notListening, {"member port 8883 not listening"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        m_health = c.report;
        const THttpAnswer degraded = Answer(Request("GET", "/v1/health"));
        EXPECT_EQ(degraded.Status, 503);
        const QJsonObject object = Json(degraded);
        EXPECT_EQ(object.value(QStringLiteral("status")).toString(), QStringLiteral("degraded"));
        std::vector<std::string> reasons;
        for (const QJsonValue reason : object.value(QStringLiteral("reasons")).toArray()) {
            reasons.push_back(reason.toString().toStdString());
        }
        EXPECT_EQ(reasons, c.reasons);
    }
    EXPECT_TRUE(m_device.Calls().empty());
}

// A printer that keeps jamming is a degraded front desk, though the program
// and its port are fine: the health check says so after three transactions
// in a row, names the last fault, and is ok again after one success.
TEST_F(HttpApiTest, HealthIsDegradedAfterThreeJamsInARowUntilATransactionSucceeds)
{
    TScriptedPrinterLibrary library;
    TTRWGII2010DMember printer(library);
    CurrentMemberDevice = &printer;
    ASSERT_TRUE(printer.OpenPort());
    ServiceStatus().ListenerStarted(8883);
    ServiceStatus().PrinterLibraryChosen(TPrinterLibraryKind::Simulator, QString(), QStringLiteral("lib.so"));
    const auto write = [this] {
        const THttpAnswer answer
            = Answer(Request("POST", "/v1/cards/write", R"({"cardNo":"1","expireDate":"","guestName":"","score":""})"));
        return Json(answer).value(QStringLiteral("resultCode")).toString();
    };
    const auto health = [this] {
        m_health = CurrentHealth();
        return Answer(Request("GET", "/v1/health"));
    };
    library.Script("CardInOver", {56, 56, 56});
    for (int jam = 1; jam <= 3; ++jam) {
        EXPECT_EQ(write(), QStringLiteral("500"));
        EXPECT_EQ(health().Status, jam < 3 ? 200 : 503) << jam;
    }
    const QJsonObject degraded = Json(health());
    EXPECT_EQ(degraded.value(QStringLiteral("reasons")).toArray(),
        QJsonArray {QStringLiteral("the last 3 card transactions failed on printer faults")});
    const QJsonObject fault = degraded.value(QStringLiteral("lastFault")).toObject();
    EXPECT_EQ(fault.value(QStringLiteral("function")).toString(), QStringLiteral("CardInOver"));
    EXPECT_EQ(fault.value(QStringLiteral("text")).toString(), QString::fromUtf8("进卡失败:Card jam B"));
    EXPECT_FALSE(fault.value(QStringLiteral("time")).toString().isEmpty());
    EXPECT_FALSE(degraded.contains(QStringLiteral("lastSuccess")));

    EXPECT_EQ(write(), QStringLiteral("200"));
    const THttpAnswer ok = health();
    EXPECT_EQ(ok.Status, 200);
    EXPECT_TRUE(Json(ok).value(QStringLiteral("lastSuccess")).toObject().contains(QStringLiteral("time")));
    EXPECT_TRUE(Json(ok).contains(QStringLiteral("lastFault")));
}

TEST_F(HttpApiTest, OpenApiDescribesEveryRoute)
{
    const THttpAnswer description = Answer(Request("GET", "/v1/openapi.json"));
    EXPECT_EQ(description.Status, 200);
    QJsonParseError error {};
    const QJsonObject root = QJsonDocument::fromJson(QByteArray::fromStdString(description.Body), &error).object();
    ASSERT_EQ(error.error, QJsonParseError::NoError);
    EXPECT_TRUE(root.value(QStringLiteral("openapi")).toString().startsWith(QStringLiteral("3.")));
    EXPECT_EQ(root.value(QStringLiteral("info")).toObject().value(QStringLiteral("version")).toString(),
        QStringLiteral(MEMBER_VERSION));
    const QJsonObject paths = root.value(QStringLiteral("paths")).toObject();
    const std::pair<const char*, const char*> operations[] = {{"/v1/cards/write", "post"}, {"/v1/cards/read", "post"},
        {"/v1/cards/print", "post"}, {"/v1/health", "get"}, {"/metrics", "get"}, {"/v1/openapi.json", "get"}};
    EXPECT_EQ(paths.size(), qsizetype(std::size(operations)));
    for (const auto& [path, method] : operations) {
        EXPECT_TRUE(paths.value(QString::fromLatin1(path)).toObject().contains(QString::fromLatin1(method))) << path;
    }
    // Every reference points at something the document defines.
    const QJsonObject components = root.value(QStringLiteral("components")).toObject();
    for (const QString& reference :
        QString::fromStdString(description.Body).split(QStringLiteral("\"$ref\":\"#/components/")).mid(1)) {
        const QStringList parts = reference.left(reference.indexOf(u'"')).split(u'/');
        ASSERT_EQ(parts.size(), 2);
        EXPECT_TRUE(components.value(parts[0]).toObject().contains(parts[1])) << parts.join(u'/').toStdString();
    }
    EXPECT_TRUE(m_device.Calls().empty());
}

} // namespace
