#pragma once

#include "base/Asio.h"
#include "http/HealthReport.h"
#include "http/HttpExchange.h"

#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class TIdempotencyStore;
class TRequestClient;

// What the API's safety rules are measured against.
struct THttpApiSettings {
    // The address the server listens on: a Host header may name it.
    std::string BindAddress = "127.0.0.1";
    // Exact origins whose pages may call the API.
    std::vector<std::string> AllowedOrigins;
    // Required as a bearer token when not empty.
    std::string Token;
    // Where the answers to requests with an Idempotency-Key are kept, and
    // for how long; empty: in memory only, for this run.
    std::string IdempotencyFile;
    std::chrono::seconds IdempotencyTime {86400};
};

// The HTTP/JSON API over the member-card requests: the safety rules, the
// routes and the answers, independent of the server that carries them.
// The card requests run the handler's own steps in the device queue, so
// they take their turn with the TCP requests and log the same lines.
//
// Every answer carries Vary: Origin, and Access-Control-Allow-Origin when
// the request came from an allowed origin, so a browser shows that origin's
// page every answer, refusals included, and no other page any.
class THttpApi {
public:
    static constexpr size_t kMaxBody = 16384;
    // Request line and header fields together.
    static constexpr size_t kMaxHeader = 8192;

    using THealthSource = std::function<THealthReport()>;

    THttpApi(THttpApiSettings settings, THealthSource health);
    ~THttpApi();
    THttpApi(const THttpApi&) = delete;
    THttpApi& operator=(const THttpApi&) = delete;

    // Everything decided before the body is read, in this order: Host (421),
    // Origin (403), preflight, token (401), path (404), method (405), media
    // type (415), Idempotency-Key (400), declared length (413); then the GET
    // endpoints. Nothing
    // when the request is a card request whose body is to be read and handed
    // to AnswerWithBody.
    std::optional<THttpAnswer> AnswerBeforeBody(const THttpRequest& request) const;

    // A card request that AnswerBeforeBody let through, with its body of at
    // most kMaxBody bytes: logged, read (400 naming the field) and run in
    // its turn (503 when it was dropped instead: the program stops, the
    // client has gone or it waited too long). client, when given, is asked
    // right before the card transaction whether it has gone. With an
    // Idempotency-Key, a repeat of a request that ran gets its answer again
    // (Idempotent-Replayed: true) and one with another body 422; a repeat
    // of one still running waits for it.
    asio::awaitable<THttpAnswer> AnswerWithBody(const THttpRequest& request, const TRequestClient* client) const;

    // Both steps, for a request whose body is already at hand.
    asio::awaitable<THttpAnswer> Answer(const THttpRequest& request) const;

    // The answer for a request the server gave up on before the API could
    // (malformed, its body too long or too slow): the status with an error
    // text and its code, under the same CORS rules.
    THttpAnswer TransportError(const THttpRequest& request, int status) const;

private:
    bool OriginAllowed(std::string_view origin) const;
    THttpAnswer Finish(const THttpRequest& request, THttpAnswer answer) const;
    THttpAnswer Refusal(const THttpRequest& request, int status, const char* code, const std::string& error) const;

    THttpApiSettings m_settings;
    THealthSource m_health;
    // Changes as requests come, though the API is otherwise fixed once made;
    // touched on the I/O thread alone.
    std::unique_ptr<TIdempotencyStore> m_store;
};
