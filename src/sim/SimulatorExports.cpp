// The printer library's ten functions, as the program loads them, and the
// marker that tells the program it drives no real printer. Nothing
// else leaves this library (see exports.map and RCPV11_VCDLL.def), and no
// exception crosses the C boundary: an unexpected error answers as a lost
// reply would.

#include "base/DataDirectory.h"
#include "base/ExecutablePath.h"
#include "host/RCPV11VCDLL.h"
#include "sim/SimulatedPrinter.h"

#include <QGuiApplication>

#include <mutex>
#include <string>
#include <string_view>
#include <type_traits>

namespace {

constexpr int32_t kNoReply = 2;

TSimulatedPrinter& Printer()
{
    // CardPrinter.ini and the card face belong in the data folder of the
    // program that loads this library; a program that names none keeps
    // them beside this library (the module holding this function).
    static TSimulatedPrinter printer([] {
        const std::string inherited = InheritedDataDirectory();
        return inherited.empty() ? ModuleDirectory(reinterpret_cast<const void*>(&Printer)) : inherited;
    }());
    return printer;
}

// The card face is drawn with Qt's fonts, which need a QGuiApplication. A
// process without any Qt application object, as the printer host runs this
// library, gets one of the simulator's own before the first face is drawn
// (on the calling thread, and for the rest of the process), so the card
// face comes out as in the program itself. On Linux it uses the offscreen
// platform, which needs no display.
void PrepareDrawing()
{
    static std::once_flag once;
    std::call_once(once, [] {
        if (QCoreApplication::instance() != nullptr) {
            return;
        }
#ifdef _WIN32
        static char* arguments[] = {const_cast<char*>("RCPV11_VCDLL"), nullptr};
#else
        static char* arguments[]
            = {const_cast<char*>("RCPV11_VCDLL"), const_cast<char*>("-platform"), const_cast<char*>("offscreen"), nullptr};
#endif
        static int count = static_cast<int>(std::size(arguments)) - 1;
        new QGuiApplication(count, arguments);
    });
}

template <typename TCall>
int32_t Guarded(int32_t onError, TCall call) noexcept
{
    try {
        return call(Printer());
    } catch (...) {
        return onError;
    }
}

} // namespace

extern "C" {

// Its presence is what counts; the text says which build it came from.
extern const char MemberCardPrinterSimulator[];
const char MemberCardPrinterSimulator[] = "member-interface printer simulator " MEMBER_VERSION;

int32_t RCPV11_CALL CommOpen(int32_t port, int32_t baudOrZero)
{
    return Guarded(0, [&](TSimulatedPrinter& p) { return p.CommOpen(port, baudOrZero); });
}

int32_t RCPV11_CALL CommClose(int32_t handle)
{
    return Guarded(0, [&](TSimulatedPrinter& p) { return p.CommClose(handle); });
}

int32_t RCPV11_CALL Reset(int32_t handle, int32_t timeout)
{
    return Guarded(kNoReply, [&](TSimulatedPrinter& p) { return p.Reset(handle, timeout); });
}

int32_t RCPV11_CALL CardInOver(int32_t handle, int32_t timeout)
{
    return Guarded(kNoReply, [&](TSimulatedPrinter& p) { return p.CardInOver(handle, timeout); });
}

int32_t RCPV11_CALL Dischange(int32_t handle, int32_t mode, int32_t timeout)
{
    return Guarded(kNoReply, [&](TSimulatedPrinter& p) { return p.Dischange(handle, mode, timeout); });
}

int32_t RCPV11_CALL RfidCardRequestAndWriteData(
    int32_t handle, int32_t block, int32_t mode, const char* key, const char* data, int32_t timeout)
{
    return Guarded(kNoReply,
        [&](TSimulatedPrinter& p) { return p.RfidCardRequestAndWriteData(handle, block, mode, key, data, timeout); });
}

int32_t RCPV11_CALL RfidCardRequestAndReadData(
    int32_t handle, int32_t block, int32_t mode, const char* key, char* buffer, int32_t timeout)
{
    return Guarded(kNoReply,
        [&](TSimulatedPrinter& p) { return p.RfidCardRequestAndReadData(handle, block, mode, key, buffer, timeout); });
}

int32_t RCPV11_CALL PrintBufferClear(int32_t handle, int32_t timeout)
{
    return Guarded(kNoReply, [&](TSimulatedPrinter& p) { return p.PrintBufferClear(handle, timeout); });
}

int32_t RCPV11_CALL PrintCharacterDataSetting(
    int32_t handle, int32_t mode, int32_t x, int32_t y, const char* text, int32_t length, int32_t timeout)
{
    return Guarded(kNoReply,
        [&](TSimulatedPrinter& p) { return p.PrintCharacterDataSetting(handle, mode, x, y, text, length, timeout); });
}

int32_t RCPV11_CALL ErasePrintDischarge(int32_t handle, int32_t a, int32_t b, int32_t c, int32_t timeout)
{
    return Guarded(kNoReply, [&](TSimulatedPrinter& p) {
        PrepareDrawing();
        return p.ErasePrintDischarge(handle, a, b, c, timeout);
    });
}

} // extern "C"

static_assert(std::string_view("MemberCardPrinterSimulator") == RCPV11::SimulatorMarker);

// The loader casts the resolved symbols to these types.
static_assert(std::is_same_v<decltype(&CommOpen), RCPV11::TCommOpen>);
static_assert(std::is_same_v<decltype(&CommClose), RCPV11::TCommClose>);
static_assert(std::is_same_v<decltype(&Reset), RCPV11::TReset>);
static_assert(std::is_same_v<decltype(&CardInOver), RCPV11::TCardInOver>);
static_assert(std::is_same_v<decltype(&Dischange), RCPV11::TDischange>);
static_assert(std::is_same_v<decltype(&RfidCardRequestAndWriteData), RCPV11::TRfidCardRequestAndWriteData>);
static_assert(std::is_same_v<decltype(&RfidCardRequestAndReadData), RCPV11::TRfidCardRequestAndReadData>);
static_assert(std::is_same_v<decltype(&PrintBufferClear), RCPV11::TPrintBufferClear>);
static_assert(std::is_same_v<decltype(&PrintCharacterDataSetting), RCPV11::TPrintCharacterDataSetting>);
static_assert(std::is_same_v<decltype(&ErasePrintDischarge), RCPV11::TErasePrintDischarge>);
