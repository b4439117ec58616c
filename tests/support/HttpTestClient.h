#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

// An HTTP answer as a test looks at it.
struct THttpTestResponse {
    int Status = 0;
    std::vector<std::pair<std::string, std::string>> Headers;
    std::string Body;

    // The first value of that header, in any letter case; empty when none.
    std::string Header(const std::string& name) const;
};

// A blocking HTTP/1.1 client for tests: one connection per request to
// host:port. Nothing when the server could not be reached or did not answer
// within the read time-out.
class THttpTestClient {
public:
    THttpTestClient(std::string host, uint16_t port);

    void SetReadTimeout(int seconds) { m_readTimeoutSeconds = seconds; }
    // Sent with every request from now on.
    void AddHeader(std::string name, std::string value) { m_headers.emplace_back(std::move(name), std::move(value)); }

    std::optional<THttpTestResponse> Get(const std::string& path) const;
    std::optional<THttpTestResponse> Post(
        const std::string& path, const std::string& body, const std::string& contentType) const;
    std::optional<THttpTestResponse> Delete(const std::string& path) const;
    std::optional<THttpTestResponse> Options(const std::string& path) const;

private:
    std::optional<THttpTestResponse> Send(
        const std::string& method, const std::string& path, const std::string& body, const std::string& type) const;

    std::string m_host;
    uint16_t m_port;
    int m_readTimeoutSeconds = 30;
    std::vector<std::pair<std::string, std::string>> m_headers;
};
