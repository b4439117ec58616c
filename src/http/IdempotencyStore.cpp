#include "http/IdempotencyStore.h"

#include "base/FileSystem.h"
#include "base/ProfileFile.h"
#include "base/SaveFile.h"
#include "base/TextCodec.h"
#include "log/LogFileUnit.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cstdio>
#include <fstream>

namespace {

// The file: this head, one entry per line oldest first, each line but the
// last ending in a comma, and kTail. Bumped when an entry's fields change
// meaning, so an older program sets a newer file aside instead of
// answering from what it misreads.
constexpr std::string_view kHead = "{\"format\":1,\"keys\":[\n";
constexpr std::string_view kTail = "\n]}\n";
constexpr int kFormat = 1;
constexpr size_t kFingerprintLength = 64;

// Paths are taken as UTF-8, as everywhere the log names one.
void Log(const std::string& utf8)
{
    if (LogFile) {
        LogFile->WriteLine(TextCodec::Utf8ToGbk(utf8));
    }
}

QString Field(const char* name)
{
    return QString::fromLatin1(name);
}

bool IsFingerprint(const QString& text)
{
    if (text.size() != static_cast<qsizetype>(kFingerprintLength)) {
        return false;
    }
    for (const QChar c : text) {
        if (!((c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f'))) {
            return false;
        }
    }
    return true;
}

} // namespace

struct TIdempotencyStore::TRunning {
    TRunning(const asio::any_io_executor& executor, std::string fingerprint)
        : Fingerprint(std::move(fingerprint))
        , Done(executor, asio::steady_timer::time_point::max())
    {
    }

    std::string Fingerprint;
    // Never expires: cancelled when the request ends, which wakes its repeats.
    asio::steady_timer Done;
};

TIdempotencyStore::TIdempotencyStore(std::string path, std::chrono::seconds keepFor, TClock clock)
    : m_path(std::move(path))
    , m_keepForMs(std::chrono::duration_cast<std::chrono::milliseconds>(keepFor).count())
    , m_clock(clock ? std::move(clock) : [] { return QDateTime::currentMSecsSinceEpoch(); })
{
    if (!m_path.empty()) {
        // No save of this store runs yet; one a crash cut short left its
        // temporary file behind.
        RemoveInterruptedSaves(m_path);
        Load();
    }
}

TIdempotencyStore::~TIdempotencyStore() = default;

bool TIdempotencyStore::ValidKey(std::string_view key)
{
    if (key.empty() || key.size() > kMaxKeyLength) {
        return false;
    }
    for (const char c : key) {
        if (c < 0x21 || c > 0x7E) {
            return false;
        }
    }
    return true;
}

std::string TIdempotencyStore::Fingerprint(std::string_view path, std::string_view body)
{
    QCryptographicHash hash(QCryptographicHash::Sha256);
    hash.addData(QByteArrayView(path.data(), static_cast<qsizetype>(path.size())));
    // Paths never hold a line break, so no path and body run together into
    // another's.
    hash.addData(QByteArrayView("\n"));
    hash.addData(QByteArrayView(body.data(), static_cast<qsizetype>(body.size())));
    return hash.result().toHex().toStdString();
}

void TIdempotencyStore::Load()
{
    std::ifstream file(m_path, std::ios::binary);
    if (!file) {
        return;
    }
    // One byte past the bound tells a file that has grown beyond it.
    std::string text(kMaxFileBytes + 1, '\0');
    file.read(text.data(), static_cast<std::streamsize>(text.size()));
    text.resize(static_cast<size_t>(file.gcount()));
    file.close();
    if (text.size() > kMaxFileBytes) {
        SetAside("larger than " + std::to_string(kMaxFileBytes) + " bytes");
        return;
    }
    QJsonParseError error {};
    const QJsonDocument document
        = QJsonDocument::fromJson(QByteArray(text.data(), static_cast<qsizetype>(text.size())), &error);
    const QJsonObject root = document.object();
    if (error.error != QJsonParseError::NoError || !document.isObject()
        || root.value(Field("format")).toInt() != kFormat || !root.value(Field("keys")).isArray()) {
        SetAside("not a file of this program's keys");
        return;
    }
    std::list<TEntry> entries;
    for (const QJsonValue& value : root.value(Field("keys")).toArray()) {
        const QJsonObject object = value.toObject();
        TEntry entry;
        entry.Key = object.value(Field("key")).toString().toStdString();
        const QString fingerprint = object.value(Field("fingerprint")).toString();
        entry.Fingerprint = fingerprint.toStdString();
        entry.StoredAt = static_cast<qint64>(object.value(Field("storedAt")).toDouble(-1));
        entry.Answer.Status = object.value(Field("status")).toInt();
        const QJsonValue answer = object.value(Field("answer"));
        entry.Answer.Body = answer.toString().toStdString();
        if (!ValidKey(entry.Key) || !IsFingerprint(fingerprint) || entry.StoredAt < 0 || entry.Answer.Status < 200
            || entry.Answer.Status > 599 || !answer.isString()) {
            SetAside("an entry is incomplete");
            return;
        }
        entries.push_back(std::move(entry));
    }
    for (TEntry& entry : entries) {
        Add(std::move(entry));
    }
    DropExpired();
}

void TIdempotencyStore::SetAside(const std::string& why)
{
    const std::string aside = m_path + ".damaged";
    std::remove(aside.c_str());
    const bool moved = std::rename(m_path.c_str(), aside.c_str()) == 0;
    Log("幂等键文件无法读取(" + why + "),已" + (moved ? "移到 " + aside : std::string("忽略")) + ",从空的开始.");
}

void TIdempotencyStore::DropExpired()
{
    const qint64 now = m_clock();
    while (!m_entries.empty() && now - m_entries.front().StoredAt >= m_keepForMs) {
        m_bytes -= m_entries.front().Line.size() + 2;
        m_byKey.erase(m_entries.front().Key);
        m_entries.pop_front();
    }
}

std::string TIdempotencyStore::EntryLine(const TEntry& entry)
{
    const QJsonObject object {
        {Field("key"), QString::fromStdString(entry.Key)},
        {Field("fingerprint"), QString::fromStdString(entry.Fingerprint)},
        {Field("storedAt"), static_cast<double>(entry.StoredAt)},
        {Field("status"), entry.Answer.Status},
        {Field("answer"), QString::fromUtf8(entry.Answer.Body.data(), static_cast<qsizetype>(entry.Answer.Body.size()))},
    };
    return QJsonDocument(object).toJson(QJsonDocument::Compact).toStdString();
}

void TIdempotencyStore::Add(TEntry entry)
{
    if (const auto found = m_byKey.find(entry.Key); found != m_byKey.end()) {
        m_bytes -= found->second->Line.size() + 2;
        m_entries.erase(found->second);
        m_byKey.erase(found);
    }
    entry.Line = EntryLine(entry);
    // A line and the comma and line break after it.
    m_bytes += entry.Line.size() + 2;
    m_entries.push_back(std::move(entry));
    m_byKey[m_entries.back().Key] = std::prev(m_entries.end());
    while (!m_entries.empty() && (m_entries.size() > kMaxKeys || m_bytes + kHead.size() + kTail.size() > kMaxFileBytes)) {
        m_bytes -= m_entries.front().Line.size() + 2;
        m_byKey.erase(m_entries.front().Key);
        m_entries.pop_front();
    }
}

void TIdempotencyStore::Save()
{
    if (m_path.empty()) {
        return;
    }
    std::string text(kHead);
    text.reserve(m_bytes + kHead.size() + kTail.size());
    for (const TEntry& entry : m_entries) {
        if (&entry != &m_entries.front()) {
            text += ",\n";
        }
        text += entry.Line;
    }
    text += kTail;
    TSaveFile save(m_path);
    const bool saved = save.Valid() && save.Write(text) && save.Commit(FileSystem::kCreatedFileMode);
    if (!saved && !m_saveFailing) {
        Log("幂等键文件无法写入: " + m_path);
    }
    m_saveFailing = !saved;
}

asio::awaitable<TIdempotencyStore::TLookup> TIdempotencyStore::Look(std::string key, std::string fingerprint)
{
    for (;;) {
        DropExpired();
        TLookup lookup;
        if (const auto stored = m_byKey.find(key); stored != m_byKey.end()) {
            const TEntry& entry = *stored->second;
            lookup.Verdict = entry.Fingerprint == fingerprint ? TVerdict::Replay : TVerdict::Mismatch;
            if (lookup.Verdict == TVerdict::Replay) {
                lookup.Answer = entry.Answer;
            }
            co_return lookup;
        }
        const auto running = m_running.find(key);
        if (running == m_running.end()) {
            const asio::any_io_executor executor = co_await asio::this_coro::executor;
            m_running.emplace(key, std::make_shared<TRunning>(executor, std::move(fingerprint)));
            lookup.Claim = std::make_unique<TClaim>(*this, std::move(key));
            co_return lookup;
        }
        if (running->second->Fingerprint != fingerprint) {
            lookup.Verdict = TVerdict::Mismatch;
            co_return lookup;
        }
        // Held here, so the timer outlives the request that ends while
        // this one waits.
        const std::shared_ptr<TRunning> first = running->second;
        boost::system::error_code woken;
        co_await first->Done.async_wait(asio::redirect_error(asio::use_awaitable, woken));
    }
}

void TIdempotencyStore::Release(const std::string& key, const TStoredAnswer* answer)
{
    const auto running = m_running.find(key);
    if (running == m_running.end()) {
        return;
    }
    if (answer != nullptr) {
        Add(TEntry {key, running->second->Fingerprint, m_clock(), *answer, {}});
        Save();
    }
    running->second->Done.cancel();
    m_running.erase(running);
}

TIdempotencyStore::TClaim::TClaim(TIdempotencyStore& store, std::string key)
    : m_store(store)
    , m_key(std::move(key))
{
}

TIdempotencyStore::TClaim::~TClaim()
{
    if (!m_done) {
        m_store.Release(m_key, nullptr);
    }
}

void TIdempotencyStore::TClaim::Store(const TStoredAnswer& answer)
{
    m_done = true;
    m_store.Release(m_key, &answer);
}
