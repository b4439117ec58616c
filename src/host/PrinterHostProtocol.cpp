#include "host/PrinterHostProtocol.h"

namespace PrinterHost {

namespace {

class TWriter {
public:
    TWriter() { m_bytes.assign(4, '\0'); }

    void U8(uint8_t value) { m_bytes.push_back(static_cast<char>(value)); }
    void U32(uint32_t value)
    {
        for (int shift = 0; shift < 32; shift += 8) {
            m_bytes.push_back(static_cast<char>((value >> shift) & 0xFF));
        }
    }
    void I32(int32_t value) { U32(static_cast<uint32_t>(value)); }
    void Bytes(std::string_view bytes)
    {
        U32(static_cast<uint32_t>(bytes.size()));
        m_bytes.append(bytes);
    }

    // The frame, its payload's length filled in.
    std::string Frame()
    {
        const auto length = static_cast<uint32_t>(m_bytes.size() - 4);
        for (int i = 0; i < 4; ++i) {
            m_bytes[static_cast<size_t>(i)] = static_cast<char>((length >> (8 * i)) & 0xFF);
        }
        return std::move(m_bytes);
    }

private:
    std::string m_bytes;
};

class TReader {
public:
    explicit TReader(std::string_view bytes)
        : m_rest(bytes)
    {
    }

    bool U8(uint8_t& value)
    {
        if (m_rest.empty()) {
            return false;
        }
        value = static_cast<uint8_t>(m_rest.front());
        m_rest.remove_prefix(1);
        return true;
    }
    bool U32(uint32_t& value)
    {
        if (m_rest.size() < 4) {
            return false;
        }
        value = FrameLength(m_rest.data());
        m_rest.remove_prefix(4);
        return true;
    }
    bool I32(int32_t& value)
    {
        uint32_t bits = 0;
        if (!U32(bits)) {
            return false;
        }
        value = static_cast<int32_t>(bits);
        return true;
    }
    bool Bytes(std::string& bytes)
    {
        uint32_t length = 0;
        if (!U32(length) || length > m_rest.size()) {
            return false;
        }
        bytes.assign(m_rest.substr(0, length));
        m_rest.remove_prefix(length);
        return true;
    }
    bool AtEnd() const { return m_rest.empty(); }

private:
    std::string_view m_rest;
};

// More arguments than any of the ten functions takes.
constexpr uint8_t kMaxArguments = 8;

} // namespace

const char* FunctionName(TFunction function)
{
    switch (function) {
    case TFunction::CommOpen:
        return "CommOpen";
    case TFunction::CommClose:
        return "CommClose";
    case TFunction::Reset:
        return "Reset";
    case TFunction::CardInOver:
        return "CardInOver";
    case TFunction::Dischange:
        return "Dischange";
    case TFunction::RfidCardRequestAndWriteData:
        return "RfidCardRequestAndWriteData";
    case TFunction::RfidCardRequestAndReadData:
        return "RfidCardRequestAndReadData";
    case TFunction::PrintBufferClear:
        return "PrintBufferClear";
    case TFunction::PrintCharacterDataSetting:
        return "PrintCharacterDataSetting";
    case TFunction::ErasePrintDischarge:
        return "ErasePrintDischarge";
    }
    return "?";
}

uint32_t FrameLength(const char header[4])
{
    uint32_t value = 0;
    for (int i = 3; i >= 0; --i) {
        value = (value << 8) | static_cast<uint8_t>(header[i]);
    }
    return value;
}

std::string EncodeHello(const THello& hello)
{
    TWriter w;
    w.U32(hello.ProtocolVersion);
    w.U8(hello.Loaded ? 1 : 0);
    w.U8(hello.Simulator ? 1 : 0);
    w.Bytes(hello.Error);
    return w.Frame();
}

std::string EncodeRequest(const TRequest& request)
{
    TWriter w;
    w.U8(static_cast<uint8_t>(request.Function));
    w.U8(static_cast<uint8_t>(request.Integers.size()));
    for (const int32_t value : request.Integers) {
        w.I32(value);
    }
    w.U8(static_cast<uint8_t>(request.Texts.size()));
    for (const std::optional<std::string>& text : request.Texts) {
        w.U8(text ? 1 : 0);
        w.Bytes(text ? std::string_view(*text) : std::string_view());
    }
    w.U32(request.OutputBytes);
    return w.Frame();
}

std::string EncodeReply(const TReply& reply)
{
    TWriter w;
    w.I32(reply.Result);
    w.Bytes(reply.Output);
    return w.Frame();
}

bool DecodeHello(std::string_view payload, THello& hello)
{
    TReader r(payload);
    uint8_t loaded = 0;
    uint8_t simulator = 0;
    if (!r.U32(hello.ProtocolVersion) || !r.U8(loaded) || !r.U8(simulator) || !r.Bytes(hello.Error) || !r.AtEnd()) {
        return false;
    }
    hello.Loaded = loaded != 0;
    hello.Simulator = simulator != 0;
    return true;
}

bool DecodeRequest(std::string_view payload, TRequest& request)
{
    TReader r(payload);
    uint8_t function = 0;
    uint8_t count = 0;
    if (!r.U8(function) || !r.U8(count) || count > kMaxArguments) {
        return false;
    }
    request.Function = static_cast<TFunction>(function);
    request.Integers.assign(count, 0);
    for (int32_t& value : request.Integers) {
        if (!r.I32(value)) {
            return false;
        }
    }
    if (!r.U8(count) || count > kMaxArguments) {
        return false;
    }
    request.Texts.assign(count, std::nullopt);
    for (std::optional<std::string>& text : request.Texts) {
        uint8_t present = 0;
        std::string bytes;
        if (!r.U8(present) || !r.Bytes(bytes)) {
            return false;
        }
        if (present != 0) {
            text = std::move(bytes);
        }
    }
    return r.U32(request.OutputBytes) && request.OutputBytes <= MaxOutputBytes && r.AtEnd();
}

bool DecodeReply(std::string_view payload, TReply& reply)
{
    TReader r(payload);
    return r.I32(reply.Result) && r.Bytes(reply.Output) && reply.Output.size() <= MaxOutputBytes && r.AtEnd();
}

} // namespace PrinterHost
