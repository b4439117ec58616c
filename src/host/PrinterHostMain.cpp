// member-printer-host: runs the printer library for the program, in a
// process of its own, so a crash or a call that never returns in the
// library ends this process instead of the program. The program starts it
// with its standard input and output on a pipe and sends one call at a
// time (see PrinterHostProtocol.h); the host ends when that pipe ends.
//
// The library is the one beside this executable, as the program would load
// it; a test may name another file as the only argument.

#include "base/ExecutablePath.h"
#include "base/LibrarySearch.h"
#include "host/RCPV11VCDLL.h"
#include "host/HostPipe.h"
#include "host/PrinterHostProtocol.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

using PrinterHost::TFunction;
using PrinterHost::TReply;
using PrinterHost::TRequest;

// A text argument as the library gets it: zero-terminated, and at least
// minimum bytes long (zeros after the text) for a function told a length.
class TTextArgument {
public:
    TTextArgument(const std::optional<std::string>& text, int32_t minimum = 0)
        : m_null(!text)
    {
        if (text) {
            m_bytes.assign(text->begin(), text->end());
        }
        m_bytes.resize(std::max(m_bytes.size(), static_cast<size_t>(std::max(minimum, 0))) + 1, '\0');
    }
    const char* Get() const { return m_null ? nullptr : m_bytes.data(); }

private:
    bool m_null;
    std::vector<char> m_bytes;
};

bool Shaped(const TRequest& request, size_t integers, size_t texts)
{
    return request.Integers.size() == integers && request.Texts.size() == texts;
}

// Carries out one request; false when it is not one of the ten calls.
bool Execute(TCardPrinterLibrary& library, const TRequest& request, TReply& reply)
{
    const std::vector<int32_t>& i = request.Integers;
    const auto& t = request.Texts;
    switch (request.Function) {
    case TFunction::CommOpen:
        if (!Shaped(request, 2, 0)) {
            return false;
        }
        reply.Result = library.CommOpen(i[0], i[1]);
        return true;
    case TFunction::CommClose:
        if (!Shaped(request, 1, 0)) {
            return false;
        }
        reply.Result = library.CommClose(i[0]);
        return true;
    case TFunction::Reset:
        if (!Shaped(request, 2, 0)) {
            return false;
        }
        reply.Result = library.Reset(i[0], i[1]);
        return true;
    case TFunction::CardInOver:
        if (!Shaped(request, 2, 0)) {
            return false;
        }
        reply.Result = library.CardInOver(i[0], i[1]);
        return true;
    case TFunction::Dischange:
        if (!Shaped(request, 3, 0)) {
            return false;
        }
        reply.Result = library.Dischange(i[0], i[1], i[2]);
        return true;
    case TFunction::RfidCardRequestAndWriteData: {
        if (!Shaped(request, 4, 2)) {
            return false;
        }
        const TTextArgument key(t[0]);
        const TTextArgument data(t[1]);
        reply.Result = library.RfidCardRequestAndWriteData(i[0], i[1], i[2], key.Get(), data.Get(), i[3]);
        return true;
    }
    case TFunction::RfidCardRequestAndReadData: {
        if (!Shaped(request, 4, 1)) {
            return false;
        }
        const TTextArgument key(t[0]);
        // Zeroed, and larger than what is sent back, so a library that
        // writes a little more than the block still writes into the buffer.
        std::array<char, 4 * PrinterHost::MaxOutputBytes> buffer {};
        reply.Result = library.RfidCardRequestAndReadData(i[0], i[1], i[2], key.Get(), buffer.data(), i[3]);
        // The data and its zero byte, as far as the caller's buffer goes.
        const size_t limit = std::min<size_t>(request.OutputBytes, PrinterHost::MaxOutputBytes);
        const size_t length = std::min(strnlen(buffer.data(), buffer.size()) + 1, limit);
        reply.Output.assign(buffer.data(), length);
        return true;
    }
    case TFunction::PrintBufferClear:
        if (!Shaped(request, 2, 0)) {
            return false;
        }
        reply.Result = library.PrintBufferClear(i[0], i[1]);
        return true;
    case TFunction::PrintCharacterDataSetting: {
        if (!Shaped(request, 6, 1)) {
            return false;
        }
        const TTextArgument text(t[0], i[4]);
        reply.Result = library.PrintCharacterDataSetting(i[0], i[1], i[2], i[3], text.Get(), i[4], i[5]);
        return true;
    }
    case TFunction::ErasePrintDischarge:
        if (!Shaped(request, 5, 0)) {
            return false;
        }
        reply.Result = library.ErasePrintDischarge(i[0], i[1], i[2], i[3], i[4]);
        return true;
    }
    return false;
}

} // namespace

int main(int argc, char* argv[])
{
    RestrictLibrarySearch();
    THostPipe pipe;
    const std::string path = argc > 1 ? argv[1] : ExecutableDirectory() + TRCPV11Library::FileName;
    TRCPV11Library library(path);

    PrinterHost::THello hello;
    hello.Loaded = library.Loaded();
    hello.Simulator = library.IsSimulator();
    hello.Error = library.LoadError();
    if (!pipe.Write(PrinterHost::EncodeHello(hello))) {
        return 0;
    }
    std::string payload;
    // The pipe's end, or a frame this protocol never sends, ends the host.
    const auto read = [&pipe](char* data, size_t size) { return pipe.Read(data, size); };
    while (PrinterHost::ReadFrame(read, payload)) {
        TRequest request;
        TReply reply;
        if (!PrinterHost::DecodeRequest(payload, request) || !Execute(library, request, reply)) {
            // Not the program of this build at the other end.
            return 2;
        }
        if (!pipe.Write(PrinterHost::EncodeReply(reply))) {
            break;
        }
    }
    // Ends without unloading the library or running the destructors of
    // whatever it left behind (the simulator's drawing application, say):
    // nothing is left to do, and a library torn down in the wrong order
    // could still crash on the way out.
    std::fflush(nullptr);
    std::_Exit(0);
}
