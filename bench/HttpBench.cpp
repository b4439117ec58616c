#include "HttpBench.h"

#include "BenchEnvironment.h"
#include "LoadClient.h"
#include "ServerUnderTest.h"

#include "http/HttpServer.h"

#include <cstdio>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

const char* const kJsonWrite
    = R"({"requestId":1,"cardNo":"00012345","expireDate":"2030-12-31","guestName":"张三","score":"100"})";

bool HttpCardAnswer(const std::string& reply)
{
    return reply.starts_with("HTTP/1.1 200 ") && reply.find("\"resultCode\":") != std::string::npos;
}

struct TFigures {
    std::vector<double> TcpRate;
    std::vector<double> HttpRate;
    std::vector<double> TcpP50;
    std::vector<double> HttpP50;
    size_t Failed = 0;
};

} // namespace

void RunHttpBench(size_t requestsPerRun, unsigned rounds)
{
    TBenchEnvironment environment;
    environment.SetLogging(false);
    const TNoLibraryDevice device;

    TServerUnderTest tcp;
    THttpServer http(std::make_shared<const THttpApi>(THttpApiSettings(), nullptr));
    http.Start("127.0.0.1", 0);

    std::string tcpRequest = BenchRequests::Write;
    tcpRequest.push_back('\0');
    const std::string body = kJsonWrite;
    const std::string httpRequest
        = "POST /v1/cards/write HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(http.LocalPort())
        + "\r\nContent-Type: application/json\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
    if (RunLoad(http.LocalPort(), httpRequest, 1, 1, false, HttpCardAnswer).Answered != 1) {
        throw std::runtime_error("the HTTP API did not answer the benchmark's write");
    }

    std::printf("\n== HTTP API beside TCP: one card write per connection, no printer library, %zu requests per run, "
                "median of %u rounds ==\n",
        requestsPerRun, rounds);
    // First connections pay for page faults and the allocator's growth.
    RunLoad(tcp.Port(), tcpRequest, 4, 500, false);
    RunLoad(http.LocalPort(), httpRequest, 4, 500, false, HttpCardAnswer);

    std::printf("%-8s %12s %12s %10s %14s %14s %7s\n", "clients", "tcp/s", "http/s", "http/tcp", "tcp p50 ms",
        "http p50 ms", "failed");
    for (const unsigned clients : {1u, 16u}) {
        TFigures figures;
        // Rounds interleave the two paths, so load from elsewhere on the
        // machine hits both alike.
        for (unsigned round = 0; round < rounds; ++round) {
            const TLoadResult overTcp = RunLoad(tcp.Port(), tcpRequest, clients, requestsPerRun, true);
            const TLoadResult overHttp
                = RunLoad(http.LocalPort(), httpRequest, clients, requestsPerRun, true, HttpCardAnswer);
            figures.TcpRate.push_back(Rate(overTcp));
            figures.HttpRate.push_back(Rate(overHttp));
            figures.TcpP50.push_back(MedianMicroseconds(overTcp.Latencies) / 1000);
            figures.HttpP50.push_back(MedianMicroseconds(overHttp.Latencies) / 1000);
            figures.Failed += overTcp.Failed + overHttp.Failed;
        }
        const double tcpRate = Median(figures.TcpRate);
        const double httpRate = Median(figures.HttpRate);
        std::printf("%-8u %12.0f %12.0f %10.2f %14.3f %14.3f %7zu\n", clients, tcpRate, httpRate, httpRate / tcpRate,
            Median(figures.TcpP50), Median(figures.HttpP50), figures.Failed);
    }
    http.Stop();
}
