#include "sim/SimulatedPrinter.h"

#include "sim/PrinterStateFile.h"
#include "sim/SerialGreeting.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <thread>

namespace {

constexpr int32_t kSuccess = 32;
constexpr int32_t kNoHandle = 1;
constexpr int32_t kPortBusy = 2;
constexpr int32_t kStateNotWritten = 3;
constexpr int32_t kNoCard = 34;
constexpr int32_t kInvalid = 65;
constexpr int32_t kBufferOverflow = 81;

constexpr std::array<int32_t, 5> kBaudRates = {9600, 14400, 19200, 38400, 57600};

bool ValidPort(int32_t port, int32_t baudOrZero)
{
    if (port == TSimulatedPrinter::UsbPort) {
        return baudOrZero == 0;
    }
    return port >= 1 && port <= TSimulatedPrinter::LastSerialPort
        && std::find(kBaudRates.begin(), kBaudRates.end(), baudOrZero) != kBaudRates.end();
}

// A zero-terminated text can hold any byte but zero; the state file's lines
// cannot hold line breaks or other control bytes.
bool StorableInBlock(std::string_view data)
{
    return std::none_of(data.begin(), data.end(), [](char c) { return static_cast<unsigned char>(c) < 32; });
}

} // namespace

TSimulatedPrinter::TSimulatedPrinter(std::string folder)
    : m_folder(std::move(folder))
{
}

TSimulatedPrinter::~TSimulatedPrinter() = default;

TPrinterStateFile& TSimulatedPrinter::State()
{
    if (!m_state || m_state->OutOfDate()) {
        m_state = std::make_unique<TPrinterStateFile>(StateFileName());
    }
    return *m_state;
}

TSimulatedPrinter::TMisbehaviour TSimulatedPrinter::Misbehaviour(TPrinterStateFile& state, std::string_view function)
{
    if (state.HangFunction() == function) {
        return TMisbehaviour::Hang;
    }
    if (state.CrashFunction() != function) {
        return TMisbehaviour::None;
    }
    const int32_t every = state.CrashEvery();
    if (every == 1) {
        return TMisbehaviour::Crash;
    }
    // Counted in the file, so the count goes on in a new process after
    // the crash.
    const int32_t count = state.CrashCount() + 1;
    state.SetCrashCount(count);
    try {
        state.Save();
    } catch (const EWriteError&) {
    }
    return count % every == 0 ? TMisbehaviour::Crash : TMisbehaviour::None;
}

TSimulatedPrinter::TMisbehaviour TSimulatedPrinter::PortMisbehaviour(std::string_view function)
{
    std::scoped_lock lock(m_mutex);
    TPrinterStateFile& state = State();
    return Misbehaviour(state, function);
}

void TSimulatedPrinter::Misbehave(TMisbehaviour misbehaviour)
{
    switch (misbehaviour) {
    case TMisbehaviour::None:
        return;
    case TMisbehaviour::Hang:
        for (;;) {
            std::this_thread::sleep_for(std::chrono::hours(1));
        }
    case TMisbehaviour::Crash:
        break;
    }
    // A real crash, as a broken library has one: a write to address 0,
    // taken from an integer whose value the compiler cannot know, so it
    // keeps the write (one through a plain null pointer it may drop).
    static volatile std::uintptr_t nowhere = 0;
    *reinterpret_cast<int*>(nowhere) = 0;
    std::abort();
}

int32_t TSimulatedPrinter::CommOpen(int32_t port, int32_t baudOrZero)
{
    Misbehave(PortMisbehaviour("CommOpen"));
    std::scoped_lock lock(m_mutex);
    TPrinterStateFile& state = State();
    if (const auto fault = state.Fault("CommOpen")) {
        return *fault;
    }
    if (!ValidPort(port, baudOrZero)) {
        return 0;
    }
    for (const auto& [handle, openPort] : m_portOfHandle) {
        if (openPort == port) {
            return 0;
        }
    }
    if (port != UsbPort && state.OpenSerialPort() && !GreetSerialPort(port)) {
        return 0;
    }
    if (!state.Exists()) {
        // Shows whoever opens the folder which keys there are to change;
        // a read-only folder only costs that hint.
        state.WriteDefaults();
        try {
            state.Save();
        } catch (const EWriteError&) {
        }
    }
    const int32_t handle = m_nextHandle++;
    m_portOfHandle[handle] = port;
    return handle;
}

int32_t TSimulatedPrinter::CommClose(int32_t handle)
{
    Misbehave(PortMisbehaviour("CommClose"));
    std::scoped_lock lock(m_mutex);
    const TPrinterStateFile& state = State();
    if (const auto fault = state.Fault("CommClose")) {
        return *fault;
    }
    return m_portOfHandle.erase(handle) == 1 ? 1 : 0;
}

int32_t TSimulatedPrinter::DeviceCall(int32_t handle, std::string_view function, const TStep& step)
{
    int32_t port = 0;
    int32_t delayMs = 0;
    TMisbehaviour misbehaviour = TMisbehaviour::None;
    {
        std::scoped_lock lock(m_mutex);
        const auto found = m_portOfHandle.find(handle);
        if (found == m_portOfHandle.end()) {
            return kNoHandle;
        }
        port = found->second;
        if (!m_busyPorts.insert(port).second) {
            return kPortBusy;
        }
        TPrinterStateFile& state = State();
        delayMs = state.DelayMs();
        misbehaviour = Misbehaviour(state, function);
    }
    // The port stays claimed while the printer works, so a call that does
    // not wait for the one before it is refused as the real line would be.
    struct TRelease {
        TSimulatedPrinter& printer;
        int32_t port;
        ~TRelease()
        {
            std::scoped_lock lock(printer.m_mutex);
            printer.m_busyPorts.erase(port);
        }
    } release {*this, port};

    std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
    Misbehave(misbehaviour);

    std::scoped_lock lock(m_mutex);
    if (!m_portOfHandle.contains(handle)) {
        return kNoHandle;
    }
    TPrinterStateFile& state = State();
    if (const auto fault = state.Fault(function)) {
        return *fault;
    }
    try {
        return step(state);
    } catch (const EWriteError&) {
        return kStateNotWritten;
    }
}

int32_t TSimulatedPrinter::Reset(int32_t handle, int32_t)
{
    return DeviceCall(handle, "Reset", [this](TPrinterStateFile&) {
        m_printBuffer.clear();
        m_printBufferUsed = 0;
        return kSuccess;
    });
}

int32_t TSimulatedPrinter::CardInOver(int32_t handle, int32_t)
{
    return DeviceCall(handle, "CardInOver", [](TPrinterStateFile& state) {
        if (state.CardInside()) {
            return kInvalid;
        }
        if (!state.CardPresent()) {
            return kNoCard;
        }
        state.SetCardPresent(false);
        state.SetCardInside(true);
        state.Save();
        return kSuccess;
    });
}

int32_t TSimulatedPrinter::Dischange(int32_t handle, int32_t mode, int32_t)
{
    return DeviceCall(handle, "Dischange", [mode](TPrinterStateFile& state) {
        if (mode != 0 && mode != 1) {
            return kInvalid;
        }
        if (!state.CardInside()) {
            return kNoCard;
        }
        state.SetCardInside(false);
        state.SetCardPresent(true);
        state.Save();
        return kSuccess;
    });
}

bool TSimulatedPrinter::ValidRfidRequest(int32_t block, int32_t mode, const char* key) const
{
    return block >= 0 && block < TPrinterStateFile::BlockCount && (mode == 0 || mode == 1) && key != nullptr
        && std::strcmp(key, AccessKey) == 0;
}

int32_t TSimulatedPrinter::RfidCardRequestAndWriteData(
    int32_t handle, int32_t block, int32_t mode, const char* key, const char* data, int32_t)
{
    return DeviceCall(handle, "RfidCardRequestAndWriteData", [&](TPrinterStateFile& state) {
        if (!ValidRfidRequest(block, mode, key) || data == nullptr) {
            return kInvalid;
        }
        const std::string_view bytes(data, strnlen(data, BlockBytes + 1));
        if (bytes.size() > BlockBytes || !StorableInBlock(bytes)) {
            return kInvalid;
        }
        if (!state.CardInside()) {
            return kNoCard;
        }
        state.SetBlock(block, bytes);
        state.Save();
        return kSuccess;
    });
}

int32_t TSimulatedPrinter::RfidCardRequestAndReadData(
    int32_t handle, int32_t block, int32_t mode, const char* key, char* buffer, int32_t)
{
    return DeviceCall(handle, "RfidCardRequestAndReadData", [&](TPrinterStateFile& state) {
        if (!ValidRfidRequest(block, mode, key) || buffer == nullptr) {
            return kInvalid;
        }
        if (!state.CardInside()) {
            return kNoCard;
        }
        // A block edited by hand may hold more than the card can.
        const std::string data = state.Block(block).substr(0, BlockBytes);
        std::memcpy(buffer, data.data(), data.size());
        buffer[data.size()] = '\0';
        return kSuccess;
    });
}

int32_t TSimulatedPrinter::PrintBufferClear(int32_t handle, int32_t)
{
    return DeviceCall(handle, "PrintBufferClear", [this](TPrinterStateFile&) {
        m_printBuffer.clear();
        m_printBufferUsed = 0;
        return kSuccess;
    });
}

int32_t TSimulatedPrinter::PrintCharacterDataSetting(
    int32_t handle, int32_t, int32_t x, int32_t y, const char* text, int32_t length, int32_t)
{
    return DeviceCall(handle, "PrintCharacterDataSetting", [&](TPrinterStateFile&) {
        if (text == nullptr || length < 0 || strnlen(text, static_cast<size_t>(length)) < static_cast<size_t>(length)) {
            return kInvalid;
        }
        const size_t bytes = static_cast<size_t>(length);
        if (m_printBufferUsed + bytes > PrintBufferBytes) {
            return kBufferOverflow;
        }
        m_printBuffer.push_back({x, y, std::string(text, bytes)});
        m_printBufferUsed += bytes;
        return kSuccess;
    });
}

int32_t TSimulatedPrinter::ErasePrintDischarge(int32_t handle, int32_t, int32_t, int32_t, int32_t)
{
    return DeviceCall(handle, "ErasePrintDischarge", [this](TPrinterStateFile& state) {
        if (!state.CardInside()) {
            return kNoCard;
        }
        // The face files are a view for people; a folder they cannot be
        // written to does not stop the card from being printed.
        CardFace::Save(m_folder, m_printBuffer);
        state.SetCardInside(false);
        state.SetCardPresent(true);
        state.Save();
        return kSuccess;
    });
}
