#pragma once

#include "base/Asio.h"

#include <QtGlobal>

#include <chrono>
#include <cstddef>
#include <functional>
#include <list>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

// An answer as it went out, kept for the requests that repeat its key.
struct TStoredAnswer {
    int Status = 200;
    std::string Body;
};

// The answers of the card requests that came with an Idempotency-Key, so a
// client that retries after a time-out or a lost connection is told what
// happened instead of getting a second card. Every answer is saved before
// it goes out, in one file replaced in one step, so a retry after a restart
// of the program is answered too.
//
// Used from the I/O thread alone: the waiting for a request with the same
// key relies on nothing else running beside it.
class TIdempotencyStore {
public:
    static constexpr const char* kFileName = "IdempotencyKeys.json";
    // Oldest first out past either bound; a key is kept at most as long as
    // the store was told.
    static constexpr size_t kMaxKeys = 10000;
    static constexpr size_t kMaxFileBytes = 4 * 1024 * 1024;
    static constexpr size_t kMaxKeyLength = 255;

    // Milliseconds since the epoch.
    using TClock = std::function<qint64()>;

    // Reads what path holds: a file that cannot be read as the store's is
    // set aside (as path + ".damaged") with one log line, and the store
    // starts empty. An empty path keeps the answers in memory only.
    TIdempotencyStore(std::string path, std::chrono::seconds keepFor, TClock clock = {});
    ~TIdempotencyStore();
    TIdempotencyStore(const TIdempotencyStore&) = delete;
    TIdempotencyStore& operator=(const TIdempotencyStore&) = delete;

    // 1 to kMaxKeyLength visible ASCII characters.
    static bool ValidKey(std::string_view key);

    // What a request is a repeat of: its path and the SHA-256 of its body.
    static std::string Fingerprint(std::string_view path, std::string_view body);

    class TClaim;
    enum class TVerdict {
        // Nothing is stored or running under the key: the request runs, and
        // gives its answer to the claim.
        Run,
        // The answer stored for the same request.
        Replay,
        // The key belongs to a request with another path or body.
        Mismatch,
    };
    struct TLookup {
        TVerdict Verdict = TVerdict::Run;
        TStoredAnswer Answer;
        // For Run.
        std::unique_ptr<TClaim> Claim;
    };

    // What to do with a request under key. While a request with the key
    // runs, a repeat waits for it and then gets its answer; when that
    // request ends without one, the first to wake runs instead.
    asio::awaitable<TLookup> Look(std::string key, std::string fingerprint);

    // A running request's hold on its key. Store gives the answer to every
    // repeat from now on, saved before this returns; destroyed without an
    // answer (the request was refused or dropped before the printer
    // touched it), the key is free again.
    class TClaim {
    public:
        TClaim(TIdempotencyStore& store, std::string key);
        ~TClaim();
        TClaim(const TClaim&) = delete;
        TClaim& operator=(const TClaim&) = delete;

        void Store(const TStoredAnswer& answer);

    private:
        TIdempotencyStore& m_store;
        std::string m_key;
        bool m_done = false;
    };

    size_t Size() const { return m_entries.size(); }

private:
    struct TEntry {
        std::string Key;
        std::string Fingerprint;
        qint64 StoredAt = 0;
        TStoredAnswer Answer;
        // The entry as one line of the file.
        std::string Line;
    };
    struct TRunning;

    void Load();
    void SetAside(const std::string& why);
    void DropExpired();
    void Add(TEntry entry);
    void Release(const std::string& key, const TStoredAnswer* answer);
    void Save();
    static std::string EntryLine(const TEntry& entry);

    std::string m_path;
    qint64 m_keepForMs;
    TClock m_clock;
    // Oldest first, with an index by key.
    std::list<TEntry> m_entries;
    std::unordered_map<std::string, std::list<TEntry>::iterator> m_byKey;
    size_t m_bytes = 0;
    std::map<std::string, std::shared_ptr<TRunning>> m_running;
    // A failed save is logged once, not for every request after it.
    bool m_saveFailing = false;
};
