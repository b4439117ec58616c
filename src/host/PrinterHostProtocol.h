#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The pipe between the program and member-printer-host, the small process
// that runs the printer library for it (see TPrinterHostLibrary). One call
// at a time: the program sends a request, the host calls the library and
// sends the reply. Every frame is its payload's length (4 bytes) and the
// payload; numbers are little-endian.
//
//   hello (host, once at start)
//     u32 version     PrinterHost::Version; another one is another build
//     u8  loaded      the library and its ten functions were found
//     u8  simulator   the library is the printer simulator
//     u32 n, n bytes  why it could not be used (TRCPV11Library::LoadError)
//
//   request (program)
//     u8  function    TFunction
//     u8  n, n x i32  the integer arguments in the function's order
//     u8  n, n x text the text arguments in order: u8 present (0: a null
//                     pointer), u32 length, the bytes (without the zero byte)
//     u32 output      bytes of output buffer the function writes (ReadData)
//
//   reply (host)
//     i32 result      what the function returned
//     u32 n, n bytes  the output buffer: the data and its zero byte
//
// The host ends when its standard input ends.
namespace PrinterHost {

constexpr uint32_t Version = 1;

// Beside the program, on Windows with its extension.
#ifdef _WIN32
constexpr const char* FileName = "member-printer-host.exe";
#else
constexpr const char* FileName = "member-printer-host";
#endif

enum class TFunction : uint8_t {
    CommOpen = 1,
    CommClose,
    Reset,
    CardInOver,
    Dischange,
    RfidCardRequestAndWriteData,
    RfidCardRequestAndReadData,
    PrintBufferClear,
    PrintCharacterDataSetting,
    ErasePrintDischarge,
};

// The library's name of the function; "?" for a number that is none.
const char* FunctionName(TFunction function);

// No frame of this protocol comes near it; a longer one means the pipe
// carries something else.
constexpr uint32_t MaxFrameBytes = 1 << 20;
// The most output a reply carries: the driver's read buffer.
constexpr uint32_t MaxOutputBytes = 256;

struct THello {
    uint32_t ProtocolVersion = Version;
    bool Loaded = false;
    bool Simulator = false;
    std::string Error;
};

struct TRequest {
    TFunction Function = TFunction::CommOpen;
    std::vector<int32_t> Integers;
    std::vector<std::optional<std::string>> Texts;
    uint32_t OutputBytes = 0;
};

struct TReply {
    int32_t Result = 0;
    std::string Output;
};

// Each gives the whole frame, its length in front.
std::string EncodeHello(const THello& hello);
std::string EncodeRequest(const TRequest& request);
std::string EncodeReply(const TReply& reply);

// Each takes a frame's payload (without its length); false when the payload
// is not one of its kind.
bool DecodeHello(std::string_view payload, THello& hello);
bool DecodeRequest(std::string_view payload, TRequest& request);
bool DecodeReply(std::string_view payload, TReply& reply);

// The payload length in a frame's first four bytes.
uint32_t FrameLength(const char header[4]);

// Reads one frame's payload, for both ends of the pipe: read(data, size)
// reads exactly size bytes and says whether it could. False when a read
// fails or the frame is longer than any this protocol sends (the pipe then
// carries something else).
template <typename TRead> bool ReadFrame(TRead&& read, std::string& payload)
{
    char header[4];
    if (!read(header, sizeof header)) {
        return false;
    }
    const uint32_t length = FrameLength(header);
    if (length > MaxFrameBytes) {
        return false;
    }
    payload.resize(length);
    return read(payload.data(), static_cast<size_t>(length));
}

} // namespace PrinterHost
