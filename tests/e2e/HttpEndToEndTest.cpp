// The built program with the printer simulator, driven through its HTTP API
// the way a browser-based PMS drives it: by a plain HTTP client beside the
// TCP protocol, and by headless Chromium clicking the demo page's button.

#include "base/ProfileFile.h"
#include "base/SocketPlatform.h"
#include "base/TextCodec.h"
#include "support/FreePort.h"
#include "support/LoopbackClient.h"
#include "support/HttpTestClient.h"
#include "support/RunningProgram.h"
#include "support/StaticHttpServer.h"
#include "support/TestEnvironment.h"

#include <gtest/gtest.h>


#include <QDomDocument>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>

#include <map>
#include <thread>

namespace {

using TFields = std::map<std::string, std::string>;

const char* const kFields[] = {"resultCode", "resultMessage", "cardNo", "expireDate", "guestName", "score", "password"};
const char* const kElements[]
    = {"ResultCode", "ResultMessage", "CardNo", "ExpireDate", "GuestName", "Score", "Password"};

TFields TcpFields(const std::string& reply)
{
    QDomDocument document;
    EXPECT_TRUE(document.setContent(QString::fromUtf8(reply.substr(0, reply.find('\0')))));
    TFields fields;
    for (size_t i = 0; i < std::size(kFields); ++i) {
        fields[kFields[i]]
            = document.documentElement().firstChildElement(QString::fromLatin1(kElements[i])).text().toStdString();
    }
    return fields;
}

TFields HttpFields(const QJsonObject& answer)
{
    TFields fields;
    for (const char* field : kFields) {
        fields[field] = answer.value(QString::fromLatin1(field)).toString().toStdString();
    }
    return fields;
}

QJsonObject JsonOf(const std::string& body)
{
    return QJsonDocument::fromJson(QByteArray::fromStdString(body)).object();
}

// The program with the simulator and its HTTP API on loopback.
class HttpEndToEndTest : public ::testing::Test {
protected:
    void StartProgram(const std::string& allowedOrigins = "", const std::string& httpOptionLines = "")
    {
        SocketPlatform::PrepareProcess();
        m_tcpPort = FreePort();
        m_httpPort = FreePort();
        m_program = std::make_unique<TRunningProgram>(m_tcpPort,
            "[HttpOption]\r\nEnabled=1\r\nPort=" + std::to_string(m_httpPort) + "\r\nAllowedOrigins=" + allowedOrigins
                + "\r\n" + httpOptionLines);
        m_program->WithSimulator();
        ASSERT_TRUE(m_program->Start());
        AwaitHealth();
    }

    void AwaitHealth()
    {
        THttpTestClient client("127.0.0.1", m_httpPort);
        for (int attempt = 0; attempt < 100 && !client.Get("/v1/health"); ++attempt) {
            QThread::msleep(100);
        }
        ASSERT_TRUE(client.Get("/v1/health")) << m_program->StandardError();
    }

    void TearDown() override
    {
        if (m_program) {
            EXPECT_TRUE(m_program->EndsOn());
            EXPECT_EQ(m_program->Process().exitCode(), 0);
        }
    }

    std::optional<THttpTestResponse> Post(
        const std::string& path, const std::string& body, const std::string& idempotencyKey = "") const
    {
        THttpTestClient client("127.0.0.1", m_httpPort);
        client.SetReadTimeout(30);
        if (!idempotencyKey.empty()) {
            client.AddHeader("Idempotency-Key", idempotencyKey);
        }
        return client.Post(path.c_str(), body, "application/json");
    }

    // Cards the simulator printed, as the day's log has them.
    size_t PrintsInLog() const
    {
        const std::string log = TextCodec::GbkToUtf8(m_program->Log());
        size_t count = 0;
        for (size_t at = log.find("擦除打印成功."); at != std::string::npos; at = log.find("擦除打印成功.", at + 1)) {
            ++count;
        }
        return count;
    }

    void SetPrinterState(const std::string& section, const std::string& key, const std::string& value) const
    {
        TProfileFile printer(m_program->Dir() + "CardPrinter.ini");
        printer.WriteString(section, key, value);
        printer.UpdateFile();
    }

    std::string CardBlock() const
    {
        return TProfileFile(m_program->Dir() + "CardPrinter.ini").ReadString("Card", "Block1", "");
    }

    uint16_t m_tcpPort = 0;
    uint16_t m_httpPort = 0;
    std::unique_ptr<TRunningProgram> m_program;
};

TEST_F(HttpEndToEndTest, WriteReadAndPrintAnswerWhatTheTcpProtocolAnswers)
{
    StartProgram();
    struct TCase {
        const char* Path;
        const char* Json;
        const char* Xml;
    };
    const TCase cases[] = {
        {"/v1/cards/write",
            R"({"requestId":1,"cardNo":"00012345","expireDate":"2027-12-31","guestName":"张三","score":"100"})",
            "<Request type=\"WriteMemberCard\"><RequestID>1</RequestID><CardNo>00012345</CardNo><ExpireDate>2027-12-31"
            "</ExpireDate><GuestName>张三</GuestName><Score>100</Score></Request>"},
        {"/v1/cards/read", R"({"inputPassword":false})",
            "<Request type=\"ReadMemberCard\"><InputPassword>0</InputPassword></Request>"},
        {"/v1/cards/print", R"({"requestId":2,"cardNo":"00012345","content":"当前消费:100\r\n卡内余额:300"})",
            "<Request type=\"PrintMemberCard\"><RequestID>2</RequestID><CardNo>00012345</CardNo>"
            "<Content>当前消费:100&#13;\n卡内余额:300</Content></Request>"},
    };
    for (const TCase& c : cases) {
        const TFields tcp = TcpFields(Exchange(m_tcpPort, Framed(c.Xml)).Bytes);
        const std::optional<THttpTestResponse> http = Post(c.Path, c.Json);
        ASSERT_TRUE(http) << c.Path;
        EXPECT_EQ(http->Status, 200);
        EXPECT_EQ(http->Header("Content-Type"), "application/json; charset=utf-8");
        EXPECT_EQ(HttpFields(JsonOf(http->Body)), tcp) << c.Path;
        EXPECT_EQ(tcp.at("resultCode"), "200") << c.Path;
    }
    EXPECT_EQ(CardBlock(), "00012345");

    const std::optional<THttpTestResponse> health = THttpTestClient("127.0.0.1", m_httpPort).Get("/v1/health");
    ASSERT_TRUE(health);
    const QJsonObject status = JsonOf(health->Body);
    EXPECT_EQ(status.value(QStringLiteral("status")).toString(), QStringLiteral("ok"));
    EXPECT_EQ(status.value(QStringLiteral("memberPort")).toInt(), m_tcpPort);
    EXPECT_TRUE(status.value(QStringLiteral("listening")).toBool());
    EXPECT_EQ(status.value(QStringLiteral("printerLibrary")).toString(), QStringLiteral("simulator"));
    EXPECT_TRUE(status.value(QStringLiteral("portOpen")).toBool());
    EXPECT_EQ(status.value(QStringLiteral("queued")).toInt(-1), 0);
    EXPECT_EQ(status.value(QStringLiteral("answeredToday")).toInt(), 6);
    EXPECT_EQ(status.value(QStringLiteral("failedToday")).toInt(), 0);

    const std::optional<THttpTestResponse> description = THttpTestClient("127.0.0.1", m_httpPort).Get("/v1/openapi.json");
    ASSERT_TRUE(description);
    EXPECT_TRUE(JsonOf(description->Body).contains(QStringLiteral("openapi")));
}

constexpr const char* kPrint = R"({"requestId":"R-7","cardNo":"00012345","content":"当前消费:100"})";

// A PMS that lost the answer retries with the same key: the card is printed
// once, and the retry gets the first answer byte for byte, also after the
// program restarted in between; the key with another body, or a key that
// is no key, is refused, and a page from a listed origin may send it.
TEST_F(HttpEndToEndTest, RepeatWithTheSameKeyIsAnsweredFromTheStoreAndPrintsOnce)
{
    StartProgram("http://pms.example");
    const std::optional<THttpTestResponse> first = Post("/v1/cards/print", kPrint, "print-R-7");
    const std::optional<THttpTestResponse> second = Post("/v1/cards/print", kPrint, "print-R-7");
    ASSERT_TRUE(first && second);
    EXPECT_EQ(first->Status, 200);
    EXPECT_EQ(JsonOf(first->Body).value(QStringLiteral("resultCode")).toString(), QStringLiteral("200"));
    EXPECT_EQ(first->Header("Idempotent-Replayed"), "");
    EXPECT_EQ(second->Status, 200);
    EXPECT_EQ(second->Body, first->Body);
    EXPECT_EQ(second->Header("Idempotent-Replayed"), "true");
    EXPECT_EQ(PrintsInLog(), 1U);

    const std::optional<THttpTestResponse> other
        = Post("/v1/cards/print", R"({"requestId":"R-8","cardNo":"00012345"})", "print-R-7");
    ASSERT_TRUE(other);
    EXPECT_EQ(other->Status, 422);
    EXPECT_FALSE(JsonOf(other->Body).value(QStringLiteral("error")).toString().isEmpty());
    for (const std::string& key : {std::string("with space"), std::string(256, 'k'), std::string("\x7F"),
             std::string("schl\xC3\xBCssel")}) {
        const std::optional<THttpTestResponse> bad = Post("/v1/cards/print", kPrint, key);
        ASSERT_TRUE(bad) << key;
        EXPECT_EQ(bad->Status, 400) << key;
    }
    EXPECT_EQ(PrintsInLog(), 1U);

    THttpTestClient browser("127.0.0.1", m_httpPort);
    browser.AddHeader("Origin", "http://pms.example");
    browser.AddHeader("Access-Control-Request-Method", "POST");
    browser.AddHeader("Access-Control-Request-Headers", "content-type,idempotency-key");
    const std::optional<THttpTestResponse> preflight = browser.Options("/v1/cards/print");
    ASSERT_TRUE(preflight);
    EXPECT_EQ(preflight->Status, 204);
    EXPECT_NE(preflight->Header("Access-Control-Allow-Headers").find("Idempotency-Key"), std::string::npos);
    EXPECT_EQ(preflight->Header("Access-Control-Expose-Headers"), "Idempotent-Replayed");

    ASSERT_TRUE(m_program->EndsOn());
    ASSERT_TRUE(m_program->Start());
    AwaitHealth();
    const std::optional<THttpTestResponse> afterRestart = Post("/v1/cards/print", kPrint, "print-R-7");
    ASSERT_TRUE(afterRestart);
    EXPECT_EQ(afterRestart->Body, first->Body);
    EXPECT_EQ(afterRestart->Header("Idempotent-Replayed"), "true");
    EXPECT_EQ(PrintsInLog(), 1U);
}

// Retries that arrive while the first is still at the printer wait for it
// instead of taking a turn of their own.
TEST_F(HttpEndToEndTest, ConcurrentRepeatsOfOneKeyMakeOneCard)
{
    StartProgram();
    SetPrinterState("Faults", "DelayMs", "300");
    std::vector<std::optional<THttpTestResponse>> answers(4);
    std::vector<std::thread> clients;
    for (auto& answer : answers) {
        clients.emplace_back([&] { answer = Post("/v1/cards/print", kPrint, "one-card"); });
    }
    for (std::thread& client : clients) {
        client.join();
    }
    int replayed = 0;
    for (const auto& answer : answers) {
        ASSERT_TRUE(answer);
        EXPECT_EQ(answer->Status, 200);
        EXPECT_EQ(answer->Body, answers.front()->Body);
        replayed += answer->Header("Idempotent-Replayed") == "true" ? 1 : 0;
    }
    EXPECT_EQ(replayed, 3);
    EXPECT_EQ(PrintsInLog(), 1U);
}

TEST_F(HttpEndToEndTest, KeyPastItsTimeRunsAgain)
{
    StartProgram("", "IdempotencyKeySec=1\r\n");
    ASSERT_TRUE(Post("/v1/cards/print", kPrint, "short-lived"));
    QThread::msleep(1500);
    const std::optional<THttpTestResponse> again = Post("/v1/cards/print", kPrint, "short-lived");
    ASSERT_TRUE(again);
    EXPECT_EQ(again->Header("Idempotent-Replayed"), "");
    EXPECT_EQ(PrintsInLog(), 2U);
}

// A failed card says what failed in words a program can branch on: the
// step and the printer's status code, or how the library's host failed.
TEST_F(HttpEndToEndTest, FailedCardsNameTheStepAndTheStatusCodeOrTheHostFailure)
{
    StartProgram();
    struct TCase {
        const char* Key;
        const char* Value;
        const char* Kind;
        int Code;
        const char* CodeText;
    };
    const TCase cases[] = {
        {"CardInOver", "56", "printer", 56, "Card jam B"},
        {"Crash", "CardInOver", "libraryCrash", 2, "等待命令回复超时"},
    };
    for (const TCase& c : cases) {
        SetPrinterState("Faults", c.Key, c.Value);
        const std::optional<THttpTestResponse> answer = Post("/v1/cards/print", kPrint);
        SetPrinterState("Faults", c.Key, "");
        ASSERT_TRUE(answer) << c.Key;
        const QJsonObject body = JsonOf(answer->Body);
        EXPECT_EQ(body.value(QStringLiteral("resultCode")).toString(), QStringLiteral("500")) << c.Key;
        const QJsonObject fault = body.value(QStringLiteral("fault")).toObject();
        EXPECT_EQ(fault.value(QStringLiteral("step")).toString(), QStringLiteral("cardIn")) << c.Key;
        EXPECT_EQ(fault.value(QStringLiteral("kind")).toString(), QString::fromLatin1(c.Kind)) << c.Key;
        EXPECT_EQ(fault.value(QStringLiteral("code")).toInt(), c.Code) << c.Key;
        EXPECT_EQ(fault.value(QStringLiteral("codeText")).toString(), QString::fromUtf8(c.CodeText)) << c.Key;
    }
}

// The value of one sample of a scrape, -1 when it is missing.
double Sample(const std::string& metrics, const std::string& nameAndLabels)
{
    const std::string start = "\n" + nameAndLabels + " ";
    const size_t at = ("\n" + metrics).find(start);
    return at == std::string::npos ? -1 : std::stod(metrics.substr(at + start.size() - 1));
}

// Real requests over both protocols, one into an empty card slot, show up in
// the metrics, and Prometheus' own checker accepts what a scrape gives.
TEST_F(HttpEndToEndTest, MetricsCountRealRequestsAndPromtoolAcceptsThem)
{
    StartProgram();
    const TFields written = TcpFields(Exchange(m_tcpPort,
        Framed("<Request type=\"WriteMemberCard\"><RequestID>1</RequestID><CardNo>00012345</CardNo>"
               "<ExpireDate></ExpireDate><GuestName></GuestName><Score></Score></Request>"))
                                          .Bytes);
    EXPECT_EQ(written.at("resultCode"), "200");
    ASSERT_TRUE(Post("/v1/cards/read", "{}"));
    TProfileFile printer(m_program->Dir() + "CardPrinter.ini");
    printer.WriteString("Card", "Present", "0");
    printer.UpdateFile();
    const std::optional<THttpTestResponse> failed = Post("/v1/cards/read", "{}");
    ASSERT_TRUE(failed);
    EXPECT_EQ(JsonOf(failed->Body).value(QStringLiteral("resultCode")).toString(), QStringLiteral("500"));

    const std::optional<THttpTestResponse> scrape = THttpTestClient("127.0.0.1", m_httpPort).Get("/metrics");
    ASSERT_TRUE(scrape);
    EXPECT_EQ(scrape->Status, 200);
    EXPECT_EQ(scrape->Header("Content-Type"), "text/plain; version=0.0.4; charset=utf-8");
    const std::string& metrics = scrape->Body;
    const std::pair<const char*, double> expected[] = {
        {R"(member_interface_requests_total{type="write",result="200"})", 1},
        {R"(member_interface_requests_total{type="read",result="200"})", 1},
        {R"(member_interface_requests_total{type="read",result="500"})", 1},
        {R"(member_interface_requests_total{type="print",result="200"})", 0},
        {R"(member_interface_requests_total{type="read",result="dropped"})", 0},
        {R"(member_interface_printer_faults_total{function="CardInOver"})", 1},
        {R"(member_interface_printer_faults_total{function="CommOpen"})", 0},
        {"member_interface_card_transaction_seconds_count", 3},
        {R"(member_interface_card_transaction_seconds_bucket{le="+Inf"})", 3},
        {"member_interface_requests_queued", 0},
        {R"(member_interface_printer_library{kind="simulator"})", 1},
        {R"(member_interface_printer_library{kind="none"})", 0},
        {"member_interface_printer_port_open", 1},
        {R"(member_interface_build_info{version=")" MEMBER_VERSION R"("})", 1},
        {R"(member_interface_printer_host_restarts_total{reason="crash"})", 0},
        {R"(member_interface_printer_host_restarts_total{reason="stray"})", 0},
    };
    for (const auto& [sample, value] : expected) {
        EXPECT_EQ(Sample(metrics, sample), value) << sample << "\n" << metrics;
    }
    EXPECT_GT(Sample(metrics, "process_start_time_seconds"), 1.7e9);
    for (const char* figure : {"process_open_fds", "process_max_fds", "process_resident_memory_bytes",
             "process_virtual_memory_bytes", "process_cpu_seconds_total"}) {
        EXPECT_GE(Sample(metrics, figure), 0) << figure;
    }

    const QString promtool = QStandardPaths::findExecutable(QStringLiteral("promtool"));
    if (promtool.isEmpty()) {
        GTEST_SKIP() << "promtool is not installed (scripts/setup installs Debian's prometheus package); "
                        "the metrics' format was not checked";
    }
    QProcess check;
    check.start(promtool, {QStringLiteral("check"), QStringLiteral("metrics")});
    ASSERT_TRUE(check.waitForStarted());
    check.write(QByteArray::fromStdString(metrics));
    check.closeWriteChannel();
    ASSERT_TRUE(check.waitForFinished(30000));
    EXPECT_EQ(check.exitCode(), 0) << check.readAllStandardOutput().toStdString()
                                   << check.readAllStandardError().toStdString();
}

// A throw-away static server for the demo page, on a loopback port of its
// own: the page's origin.
class TStaticServer {
public:
    std::string Origin() const { return "http://127.0.0.1:" + std::to_string(m_server.Port()); }

private:
    TStaticHttpServer m_server {MEMBER_DOCS_DIR};
};

// Headless Chromium under chromedriver, spoken to over the WebDriver
// protocol. The browser gets a profile, a home and caches of its own, all
// removed afterwards; the session is always ended, so no browser is left.
class TBrowser {
public:
    TBrowser()
        : m_driverPort(FreePort())
        , m_client("127.0.0.1", m_driverPort)
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("HOME"), m_home.path());
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), m_home.path());
        environment.insert(QStringLiteral("XDG_CACHE_HOME"), m_home.path());
        m_driver.setProcessEnvironment(environment);
        m_driver.setProcessChannelMode(QProcess::MergedChannels);
        m_driver.start(QStringLiteral(CHROMEDRIVER_PROGRAM), {QStringLiteral("--port=%1").arg(m_driverPort)});
        m_client.SetReadTimeout(60);
    }

    ~TBrowser()
    {
        if (!m_session.empty()) {
            m_client.Delete(("/session/" + m_session).c_str());
        }
        m_driver.terminate();
        if (!m_driver.waitForFinished(10000)) {
            m_driver.kill();
            m_driver.waitForFinished();
        }
    }
    TBrowser(const TBrowser&) = delete;
    TBrowser& operator=(const TBrowser&) = delete;

    // Starts the browser; false (with the driver's words in why) when it
    // cannot.
    bool Open(std::string& why)
    {
        for (int attempt = 0; attempt < 100 && !m_client.Get("/status"); ++attempt) {
            QThread::msleep(100);
        }
        const QJsonArray arguments {QStringLiteral("--headless"), QStringLiteral("--no-sandbox"),
            QStringLiteral("--disable-gpu"), QStringLiteral("--disable-quic"), QStringLiteral("--no-first-run"),
            QStringLiteral("--disable-background-networking"), QStringLiteral("--disable-component-update"),
            QStringLiteral("--disable-sync"), QStringLiteral("--disable-crash-reporter"),
            QStringLiteral("--user-data-dir=") + m_profile.path()};
        const QJsonObject capabilities {{QStringLiteral("alwaysMatch"),
            QJsonObject {{QStringLiteral("browserName"), QStringLiteral("chrome")},
                {QStringLiteral("goog:chromeOptions"),
                    QJsonObject {{QStringLiteral("binary"), QStringLiteral(CHROMIUM_PROGRAM)},
                        {QStringLiteral("args"), arguments}}}}}};
        const QJsonObject session
            = Call("POST", "/session", QJsonObject {{QStringLiteral("capabilities"), capabilities}});
        m_session = session.value(QStringLiteral("sessionId")).toString().toStdString();
        if (m_session.empty()) {
            why = QJsonDocument(session).toJson().toStdString() + m_driver.readAll().toStdString();
        }
        return !m_session.empty();
    }

    void Navigate(const std::string& url)
    {
        Call("POST", SessionPath("/url"), QJsonObject {{QStringLiteral("url"), QString::fromStdString(url)}});
    }

    void Click(const std::string& cssSelector)
    {
        const QJsonObject element = Call("POST", SessionPath("/element"),
            QJsonObject {{QStringLiteral("using"), QStringLiteral("css selector")},
                {QStringLiteral("value"), QString::fromStdString(cssSelector)}});
        const QString id = element.value(QStringLiteral("element-6066-11e4-a52e-4f735466cecf")).toString();
        Call("POST", SessionPath("/element/" + id.toStdString() + "/click"), QJsonObject {});
    }

    // What the script returns, as text.
    std::string Evaluate(const std::string& script)
    {
        return Call("POST", SessionPath("/execute/sync"),
            QJsonObject {
                {QStringLiteral("script"), QString::fromStdString(script)}, {QStringLiteral("args"), QJsonArray()}})
            .toVariantMap()
            .value(QStringLiteral("value"))
            .toString()
            .toStdString();
    }

private:
    std::string SessionPath(const std::string& rest) const { return "/session/" + m_session + rest; }

    // The answer's "value", or the whole answer when it has none.
    QJsonObject Call(const char* method, const std::string& path, const QJsonObject& body)
    {
        const std::string text = QJsonDocument(body).toJson(QJsonDocument::Compact).toStdString();
        const std::optional<THttpTestResponse> result = std::string(method) == "POST"
            ? m_client.Post(path.c_str(), text, "application/json")
            : m_client.Get(path.c_str());
        if (!result) {
            return {};
        }
        const QJsonObject answer = JsonOf(result->Body);
        const QJsonValue value = answer.value(QStringLiteral("value"));
        if (value.isObject()) {
            return value.toObject();
        }
        return answer;
    }

    QTemporaryDir m_home;
    QTemporaryDir m_profile;
    uint16_t m_driverPort;
    QProcess m_driver;
    THttpTestClient m_client;
    std::string m_session;
};

// The demo page's result once its request has ended: "state|text".
std::string AwaitResult(TBrowser& browser)
{
    const std::string script
        = "const r = document.getElementById('result'); return r.dataset.state + '|' + r.textContent;";
    QElapsedTimer clock;
    clock.start();
    std::string result;
    while (clock.elapsed() < 30000) {
        result = browser.Evaluate(script);
        if (!result.starts_with("pending") && !result.starts_with("idle") && !result.empty()) {
            break;
        }
        QThread::msleep(100);
    }
    return result;
}

// Loads docs/web-demo.html from a listed origin and presses its write,
// print and health buttons: the card is written and printed, and the page
// shows the result codes and the interface's state. The same
// page from an origin that is not listed shows a refusal, and the card
// keeps its number.
TEST_F(HttpEndToEndTest, DemoPageInChromiumWritesOnlyFromAListedOrigin)
{
    if (!QFileInfo(QStringLiteral(CHROMIUM_PROGRAM)).isExecutable()) {
        GTEST_SKIP() << "Chromium is not installed (scripts/setup installs it)";
    }
    ASSERT_TRUE(QFileInfo(QStringLiteral(CHROMEDRIVER_PROGRAM)).isExecutable())
        << "chromedriver is missing: scripts/setup installs chromium-driver";
    TStaticServer listed;
    TStaticServer unlisted;
    StartProgram(listed.Origin());
    const std::string query = "/web-demo.html?api=http://127.0.0.1:" + std::to_string(m_httpPort) + "&cardNo=";

    TBrowser browser;
    std::string why;
    ASSERT_TRUE(browser.Open(why)) << why;

    browser.Navigate(listed.Origin() + query + "00054321");
    browser.Click("#write");
    const std::string written = AwaitResult(browser);
    EXPECT_TRUE(written.starts_with("ok|resultCode 200: 写卡成功")) << written;
    EXPECT_EQ(CardBlock(), "00054321");
    browser.Click("#print");
    const std::string printed = AwaitResult(browser);
    EXPECT_TRUE(printed.starts_with("ok|resultCode 200: 打印卡成功")) << printed;
    browser.Click("#health");
    const std::string health = AwaitResult(browser);
    EXPECT_TRUE(health.starts_with("ok|正常 (status ok")) << health;
    EXPECT_NE(health.find("打印机库：模拟器，端口已打开"), std::string::npos) << health;

    browser.Navigate(unlisted.Origin() + query + "00099999");
    browser.Click("#write");
    const std::string refused = AwaitResult(browser);
    EXPECT_TRUE(refused.starts_with("refused|")) << refused;
    EXPECT_EQ(CardBlock(), "00054321");
    EXPECT_NE(TextCodec::GbkToUtf8(m_program->Log()).find("Origin '" + unlisted.Origin() + "' is not allowed"),
        std::string::npos);
}

} // namespace
