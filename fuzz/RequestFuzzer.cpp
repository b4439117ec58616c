// Request bytes as a client sends them, through the server's framing, its
// UTF-8 decoding and the whole handler, with a device that records calls.
// Properties: nothing crashes; framing takes exactly the bytes before the
// first zero byte within the limit; and whenever something is sent, it is
// one well-formed DoorResponse with its eight elements, ended by one zero
// byte; a request the handler's own scanner reads gives the values Qt's XML
// reader gives. The input's bytes after its first zero byte, which the server never
// reads, are what the device finds on the card.

#include "FuzzSupport.h"

#include "base/FormatSettings.h"
#include "base/TextCodec.h"
#include "config/SysOptionUnit.h"
#include "member/BaseMemberUnit.h"
#include "member/ClientConnection.h"
#include "member/MemberMessageHandlerUnit.h"
#include "member/RequestValues.h"
#include "listener/RequestLineReader.h"
#include "listener/ServerExecute.h"
#include "log/LogFileUnit.h"
#include "support/RunToEnd.h"

#include <QXmlStreamReader>

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>

namespace {

class TCardDevice : public TBaseMember {
public:
    bool WriteCard(std::string, std::string, std::string, std::string, int32_t) override { return Called(); }
    bool ReadCard(bool, std::string& CardNo, std::string& Password, std::string& ExpireDate, std::string& GuestName,
        std::string& Score, int32_t) override
    {
        // A card holds whatever was written to it, by anyone.
        CardNo = Card;
        Password = Card.substr(0, 4);
        ExpireDate = Card.substr(Card.size() / 2);
        GuestName = Card;
        Score = Card.substr(0, 2);
        return Called();
    }
    bool PrintCard(std::string, std::string) override { return Called(); }

    bool Called()
    {
        ++Calls;
        return Succeed;
    }

    std::string Card;
    bool Succeed = true;
    int Calls = 0;
};

class TRecordingConnection : public TClientConnection {
public:
    bool Gone() const override { return false; }
    asio::awaitable<void> Write(std::string bytes) override
    {
        Written += bytes;
        co_return;
    }
    std::string Written;
};

TCardDevice& Device()
{
    static TCardDevice device;
    return device;
}

void CheckResponse(const std::string& written)
{
    FUZZ_CHECK(!written.empty() && written.back() == '\0', "a response ends in a zero byte");
    FUZZ_CHECK(written.find('\0') == written.size() - 1, "a response holds exactly one zero byte");
    const QString text = QString::fromUtf8(written.data(), static_cast<qsizetype>(written.size() - 1));
    FUZZ_CHECK(text.toUtf8().size() == static_cast<qsizetype>(written.size() - 1), "a response is valid UTF-8");

    static const char* const kElements[] = {
        "RequestID", "ResultCode", "ResultMessage", "CardNo", "ExpireDate", "GuestName", "Score", "Password"};
    QXmlStreamReader reader(text);
    FUZZ_CHECK(reader.readNextStartElement() && reader.name() == u"DoorResponse", "the root is DoorResponse");
    FUZZ_CHECK(reader.attributes().isEmpty(), "DoorResponse has no attributes");
    for (const char* name : kElements) {
        FUZZ_CHECK(reader.readNextStartElement() && reader.name() == QLatin1String(name), "the eight elements in order");
        reader.readElementText(QXmlStreamReader::ErrorOnUnexpectedElement);
        FUZZ_CHECK(!reader.hasError(), "element values are plain text");
    }
    FUZZ_CHECK(!reader.readNextStartElement() && !reader.hasError(), "nothing follows the eight elements");
    while (!reader.atEnd()) {
        reader.readNext();
    }
    FUZZ_CHECK(!reader.hasError(), "the response is well-formed XML");
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    FormatSettings::Fix();
    SysOption = std::make_unique<TSysOption>(FuzzTempDir() + "Option.ini");
    SysOption->Load();
    // Logging stays on, so building every log line is part of the run.
    LogFile = std::make_unique<TLogFile>("/dev/null");
    CurrentMemberDevice = &Device();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const size_t zero = input.find('\0');

    // Bytes arrive in pieces whose size depends on the input, so the
    // reassembly is exercised as well as the search.
    const size_t piece = size == 0 ? 1 : 1 + (static_cast<size_t>(data[size / 2]) * 7 + size) % 97;
    TRequestLineReader reader;
    for (size_t at = 0; at < size && reader.Status() == TRequestLineReader::TStatus::NeedMore; at += piece) {
        reader.Feed(input.substr(at, piece));
    }
    const size_t limit = TRequestLineReader::kMaxRequestLine;
    std::string line;
    switch (reader.Status()) {
    case TRequestLineReader::TStatus::Complete:
        FUZZ_CHECK(zero != std::string_view::npos && zero <= limit, "a line is complete only at a zero byte in reach");
        line = reader.TakeLine();
        FUZZ_CHECK(line == input.substr(0, zero), "the line is exactly the bytes before the first zero byte");
        break;
    case TRequestLineReader::TStatus::TooLong:
        FUZZ_CHECK(zero == std::string_view::npos ? size > limit : zero > limit, "too long only beyond the limit");
        return 0;
    case TRequestLineReader::TStatus::NeedMore:
        // The client then closes: the handler gets an empty request.
        FUZZ_CHECK(zero == std::string_view::npos && size <= limit, "more is awaited only without a zero byte");
        break;
    }

    const QString text = TextCodec::DecodeRequestUtf8(line);
    if (const std::optional<TRequestValues> plain = TRequestValues::ReadPlain(text)) {
        FUZZ_CHECK(*plain == TRequestValues::ReadWithXmlReader(text), "the scanner reads what the XML reader reads");
    }

    TCardDevice& device = Device();
    const std::string_view card = zero == std::string_view::npos ? std::string_view() : input.substr(zero + 1, 64);
    device.Card.assign(card.begin(), std::find(card.begin(), card.end(), '\0'));
    device.Succeed = device.Card.empty() || device.Card.front() != '!';
    device.Calls = 0;

    TRecordingConnection connection;
    try {
        RunToEnd(TCPServerExecute(connection, line));
    } catch (const ERequestAbandoned&) {
        FUZZ_CHECK(connection.Written.empty(), "an abandoned request gets no answer");
        FUZZ_CHECK(device.Calls == 0, "an abandoned request never reaches the device");
        return 0;
    }
    FUZZ_CHECK(device.Calls <= 1, "one device operation per request");
    if (device.Calls == 1) {
        FUZZ_CHECK(!connection.Written.empty(), "a request that reached the device is answered");
    }
    if (!connection.Written.empty()) {
        CheckResponse(connection.Written);
    }
    if (line.empty()) {
        FUZZ_CHECK(connection.Written.empty(), "an empty request gets no answer");
    }
    return 0;
}
