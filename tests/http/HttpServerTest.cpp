#include "http/HttpServer.h"

#include "base/SocketPlatform.h"
#include "base/TextCodec.h"
#include "member/DeviceQueue.h"

#include "support/DeviceHold.h"
#include "support/LoopbackClient.h"
#include "support/RecordingMember.h"
#include "support/TestEnvironment.h"

#include <gtest/gtest.h>

#include <future>
#include <thread>

namespace {

const std::string kWriteBody = R"({"cardNo":"00012345","expireDate":"2027-12-31","guestName":"张三","score":"100"})";

std::string Post(
    const std::string& path, const std::string& type, const std::string& body, const std::string& extra = "")
{
    return "POST " + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Type: " + type
        + "\r\nContent-Length: " + std::to_string(body.size()) + "\r\n" + extra + "\r\n" + body;
}

std::string Chunked(const std::string& body, size_t chunk)
{
    std::string encoded;
    for (size_t at = 0; at < body.size(); at += chunk) {
        const std::string piece = body.substr(at, chunk);
        char size[16];
        std::snprintf(size, sizeof size, "%zx\r\n", piece.size());
        encoded += size + piece + "\r\n";
    }
    return encoded + "0\r\n\r\n";
}

size_t Count(const std::string& text, const std::string& part)
{
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
        ++count;
    }
    return count;
}

// The real server on a free loopback port, with the recording device.
class HttpServerTest : public TProcessObjectsTest {
protected:
    void SetUp() override
    {
        // A client that leaves before its answer must not end the test.
        SocketPlatform::PrepareProcess();
        TProcessObjectsTest::SetUp();
        CurrentMemberDevice = &m_device;
        m_server = std::make_unique<THttpServer>(std::make_shared<const THttpApi>(THttpApiSettings(), nullptr));
        m_server->Start("127.0.0.1", 0);
    }

    void TearDown() override
    {
        m_server.reset();
        TProcessObjectsTest::TearDown();
    }

    uint16_t Port() const { return m_server->LocalPort(); }

    // Sends the raw bytes on a connection of their own; what comes back
    // until the server closes.
    TLoopbackReply Raw(const std::string& bytes, int timeoutMs = 10000) const
    {
        return Exchange(Port(), bytes, 0, timeoutMs);
    }

    TRecordingMember m_device;
    std::unique_ptr<THttpServer> m_server;
};

TEST_F(HttpServerTest, AnswersAreJsonAndEachConnectionCarriesOneRequest)
{
    const TLoopbackReply written = Raw(Post("/v1/cards/write", "application/json", kWriteBody));
    EXPECT_EQ(written.Bytes.rfind("HTTP/1.1 200 ", 0), 0u) << written.Bytes;
    EXPECT_NE(written.Bytes.find("Content-Type: application/json; charset=utf-8\r\n"), std::string::npos);
    EXPECT_NE(written.Bytes.find("Connection: close\r\n"), std::string::npos);
    EXPECT_NE(written.Bytes.find(R"("resultMessage":"写卡成功")"), std::string::npos);

    const TLoopbackReply missing = Raw("GET /v1/cards HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n");
    EXPECT_EQ(missing.Bytes.rfind("HTTP/1.1 404 ", 0), 0u) << missing.Bytes;

    // The server closes right after the answer: a second request on the
    // same connection is never served.
    TLoopbackClient connection(Port());
    connection.Send(Post("/v1/cards/read", "application/json", "{}"));
    const TLoopbackReply first = connection.Receive(2000);
    EXPECT_TRUE(first.ClosedByServer);
    EXPECT_EQ(Count(first.Bytes, "HTTP/1.1 "), 1u);
    connection.Send(Post("/v1/cards/read", "application/json", "{}"));
    EXPECT_EQ(connection.Receive(2000).Bytes, "");
    EXPECT_EQ(m_device.Calls().size(), 2u);
}

// Sends: header lines without end on one connection; a header just over
// 8 KiB on another.
TEST_F(HttpServerTest, HeadersAreBoundedBeforeAnythingElse)
{
    TLoopbackClient flood(Port());
    std::string lines;
    for (int i = 0; i < 2000; ++i) {
        lines += "X-Filler-" + std::to_string(i) + ": " + std::string(40, 'y') + "\r\n";
    }
    flood.Send("GET /v1/health HTTP/1.1\r\nHost: 127.0.0.1\r\n" + lines);
    const TLoopbackReply flooded = flood.Receive(5000);
    EXPECT_TRUE(flooded.ClosedByServer);
    EXPECT_EQ(flooded.Bytes.rfind("HTTP/1.1 431 ", 0), 0u) << flooded.Bytes.substr(0, 200);

    const TLoopbackReply over = Raw("GET /v1/health HTTP/1.1\r\nHost: 127.0.0.1\r\nX-Pad: "
        + std::string(THttpApi::kMaxHeader, 'p') + "\r\n\r\n");
    EXPECT_EQ(over.Bytes.rfind("HTTP/1.1 431 ", 0), 0u) << over.Bytes.substr(0, 200);
}

// Sends, while the printer is busy: four card writes, of which one client
// then ends its stream, one sends a few bytes more and then ends it, and
// one resets; then a health request; then the printer comes free.
TEST_F(HttpServerTest, HealthAnswersWhileCardsWaitAndClientsThatLeftGetNoCard)
{
    std::optional<TDeviceHold> busy(std::in_place);
    TLoopbackClient staying(Port());
    TLoopbackClient closing(Port());
    TLoopbackClient trailing(Port());
    TLoopbackClient resetting(Port());
    for (TLoopbackClient* client : {&staying, &closing, &trailing, &resetting}) {
        client->Send(Post("/v1/cards/write", "application/json", kWriteBody));
    }
    while (DeviceQueue.Queued() < 5) {
        std::this_thread::yield();
    }
    closing.ShutdownSending();
    trailing.Send("\r\nmore");
    trailing.ShutdownSending();
    resetting.Reset();
    const TLoopbackReply health = Raw("GET /v1/health HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n", 2000);
    EXPECT_NE(health.Bytes.find("\"status\":"), std::string::npos) << health.Bytes;
    busy.reset();

    const TLoopbackReply served = staying.Receive(5000);
    EXPECT_EQ(served.Bytes.rfind("HTTP/1.1 200 ", 0), 0u) << served.Bytes;
    // A client that only ended its stream can still read: it is told.
    EXPECT_EQ(closing.Receive(5000).Bytes.rfind("HTTP/1.1 503 ", 0), 0u);
    EXPECT_EQ(trailing.Receive(5000).Bytes.rfind("HTTP/1.1 503 ", 0), 0u);
    EXPECT_EQ(m_device.Calls().size(), 1u);
    // The reset client hears nothing, so nothing says when its line is in.
    const std::string gone = Gbk("客户端已断开,请求未执行.");
    const auto goneLines = [&] {
        const auto log = Log();
        return std::count(log.begin(), log.end(), gone);
    };
    for (int i = 0; i < 200 && goneLines() < 3; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_EQ(goneLines(), 3);
}

// Sends: a text/plain POST (what any page may send without a preflight),
// then a complete JSON card write on the same connection, as the rest of a
// body the server never read would arrive.
TEST_F(HttpServerTest, ARefusedBodyNeverSmugglesARequest)
{
    const std::string smuggled = Post("/v1/cards/write", "application/json", kWriteBody);
    TLoopbackClient connection(Port());
    connection.Send(Post("/v1/cards/write", "text/plain", std::string(8000, ' ')));
    const TLoopbackReply refused = connection.Receive(2000);
    EXPECT_TRUE(refused.ClosedByServer);
    EXPECT_EQ(refused.Bytes.rfind("HTTP/1.1 415 ", 0), 0u) << refused.Bytes;
    connection.Send(smuggled);
    EXPECT_EQ(Count(refused.Bytes + connection.Receive(2000).Bytes, "HTTP/1.1 "), 1u);
    EXPECT_TRUE(m_device.Calls().empty());
}

// Sends, each on a connection of its own: 1 MB of trailer lines after the
// last chunk; a chunk-size line of endless digits, and one of an endless
// extension; a coding besides chunked; and, to show the bounds take nothing
// they should not, a trailer that fits beside the header.
TEST_F(HttpServerTest, TrailersChunkSizeLinesAndCodingsAreBounded)
{
    const std::string head = "POST /v1/cards/write HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Type: application/json\r\n";
    // Up to the last chunk's line; the trailer and its empty line follow.
    const std::string chunks = Chunked(kWriteBody, 30).substr(0, Chunked(kWriteBody, 30).size() - 2);
    std::string trailer;
    while (trailer.size() < 1024 * 1024) {
        trailer += "X-Trailer-" + std::to_string(trailer.size()) + ": " + std::string(40, 't') + "\r\n";
    }
    const struct {
        const char* name;
        std::string bytes;
        const char* status;
    } cases[] = {
        {"trailer flood", head + "Transfer-Encoding: chunked\r\n\r\n" + chunks + trailer, "431"},
        {"endless size", head + "Transfer-Encoding: chunked\r\n\r\n" + std::string(100000, '0'), "400"},
        {"endless extension", head + "Transfer-Encoding: chunked\r\n\r\n1;" + std::string(100000, 'e'), "400"},
        {"gzip", head + "Transfer-Encoding: gzip, chunked\r\n\r\n" + Chunked(kWriteBody, 30), "501"},
        {"trailer that fits", head + "Transfer-Encoding: chunked\r\n\r\n" + chunks
                + trailer.substr(0, trailer.find("\r\n", 6000) + 2) + "\r\n", "200"},
    };
    for (const auto& c : cases) {
        const TLoopbackReply reply = Raw(c.bytes, 5000);
        EXPECT_TRUE(reply.ClosedByServer) << c.name;
        EXPECT_EQ(reply.Bytes.rfind("HTTP/1.1 " + std::string(c.status) + " ", 0), 0u)
            << c.name << ": " << reply.Bytes.substr(0, 200);
    }
    EXPECT_EQ(m_device.Calls().size(), 1u);
}

// Sends: a POST body that looks like an entry of the program's, alone and
// after CR LF.
TEST_F(HttpServerTest, AForgedEntryNeverBeginsALineOfTheLog)
{
    const std::string forged = "2025-01-01 00:00:00 写卡成功,卡号为:FORGED";
    for (const std::string& body : {forged, "x\r\n" + forged}) {
        EXPECT_EQ(Raw(Post("/v1/cards/write", "application/json", body)).Bytes.rfind("HTTP/1.1 400 ", 0), 0u);
    }
    const std::string bytes = LogBytes();
    EXPECT_NE(bytes.find(Gbk(forged)), std::string::npos);
    EXPECT_FALSE(bytes.starts_with(Gbk(forged)));
    EXPECT_EQ(bytes.find("\n" + Gbk(forged)), std::string::npos);
}

// Sends: a chunked body of 40000 bytes (the library alone would take it
// whole), a Content-Length of 20000 with no body, a malformed request
// line, and a method the library does not route.
TEST_F(HttpServerTest, OversizedAndMalformedRequestsGetJsonErrors)
{
    const std::string padded
        = R"({"pad":")" + std::string(40000, 'x') + R"(","cardNo":"1","expireDate":"","guestName":"","score":""})";
    const TLoopbackReply chunked
        = Raw("POST /v1/cards/write HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Type: application/json\r\n"
              "Transfer-Encoding: chunked\r\n\r\n"
            + Chunked(padded, 1000));
    EXPECT_EQ(chunked.Bytes.rfind("HTTP/1.1 413 ", 0), 0u) << chunked.Bytes.substr(0, 200);

    const TLoopbackReply declared = Raw("POST /v1/cards/write HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Type: "
                                        "application/json\r\nContent-Length: 20000\r\n\r\n");
    EXPECT_EQ(declared.Bytes.rfind("HTTP/1.1 413 ", 0), 0u) << declared.Bytes;

    const TLoopbackReply malformed = Raw("HELLO\r\n\r\n");
    EXPECT_EQ(malformed.Bytes.rfind("HTTP/1.1 400 ", 0), 0u) << malformed.Bytes;
    EXPECT_NE(malformed.Bytes.find("{\"code\":\"malformedRequest\",\"error\":"), std::string::npos);

    const TLoopbackReply trace = Raw("TRACE /v1/health HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n");
    EXPECT_EQ(trace.Bytes.rfind("HTTP/1.1 405 ", 0), 0u) << trace.Bytes;
    EXPECT_NE(trace.Bytes.find("application/json; charset=utf-8"), std::string::npos);
    EXPECT_TRUE(m_device.Calls().empty());
}

// The server tells the API who is asking: from this computer health and
// metrics need no token, and metrics come as Prometheus' text.
TEST_F(HttpServerTest, LoopbackPeersReadHealthAndMetricsWithoutTheToken)
{
    THttpApiSettings settings;
    settings.Token = "k9-Zq_7";
    m_server = std::make_unique<THttpServer>(std::make_shared<const THttpApi>(settings, nullptr));
    m_server->Start("127.0.0.1", 0);

    const std::string health = Raw("GET /v1/health HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n").Bytes;
    EXPECT_TRUE(health.starts_with("HTTP/1.1 503")) << health;
    EXPECT_NE(health.find(R"("status":"degraded")"), std::string::npos) << health;
    const std::string metrics = Raw("GET /metrics HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n").Bytes;
    EXPECT_TRUE(metrics.starts_with("HTTP/1.1 200")) << metrics;
    EXPECT_EQ(Count(metrics, "Content-Type: text/plain; version=0.0.4; charset=utf-8\r\n"), 1u) << metrics;
    EXPECT_NE(metrics.find("\nmember_interface_requests_queued 0\n"), std::string::npos) << metrics;
    EXPECT_TRUE(Raw(Post("/v1/cards/write", "application/json", kWriteBody)).Bytes.starts_with("HTTP/1.1 401"));
    EXPECT_TRUE(m_device.Calls().empty());
}

// Sends: nothing at all on one connection, half a request on another, half
// a body on a third, a byte a second on a fourth, then waits. Each is
// closed by the server once the request's time is up.
TEST_F(HttpServerTest, SlowClientsAreClosed)
{
    TLoopbackClient nothing(Port());
    TLoopbackClient halfHead(Port());
    TLoopbackClient halfBody(Port());
    halfHead.Send("POST /v1/cards/write HTTP/1.1\r\nHost: 127.0.0.1\r\n");
    halfBody.Send(Post("/v1/cards/write", "application/json", kWriteBody).substr(0, 150));
    TLoopbackClient trickle(Port());
    const std::string request = Post("/v1/cards/write", "application/json", kWriteBody);
    const auto closeBy = std::chrono::steady_clock::now() + 3 * THttpServer::kRequestTime;
    size_t sent = 0;
    TLoopbackReply trickled;
    while (std::chrono::steady_clock::now() < closeBy && !trickled.ClosedByServer && sent < request.size()) {
        trickle.Send(request.substr(sent++, 1));
        trickled = trickle.Receive(1000);
    }
    EXPECT_TRUE(trickled.ClosedByServer);
    for (TLoopbackClient* client : {&nothing, &halfHead, &halfBody}) {
        EXPECT_TRUE(client->Receive(1000).ClosedByServer);
    }
    EXPECT_TRUE(m_device.Calls().empty());
}

} // namespace
