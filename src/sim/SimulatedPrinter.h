#pragma once

#include "host/RCPV11VCDLL.h"
#include "sim/CardFace.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <string_view>
#include <vector>

class TPrinterStateFile;

// A rewritable RFID card printer with one card, behind the printer
// library's ten functions. The card and the faults live in CardPrinter.ini
// in the given folder (see TPrinterStateFile), kept in memory and read again
// whenever the file's modification time or size changes, so a person or a
// test can change them while a program runs. Open ports and the
// print buffer are the printer's memory and live here.
//
// Status codes as the real printer gives them: 32 success; 1 a handle that
// is not open; 2 a second call on a port while one is still running (the
// caller did not wait for the reply); 3 the state file could not be
// written; 34 no card where one is needed; 65 a bad argument, a wrong key,
// or a card taken in while one is already inside; 81 a full print buffer.
class TSimulatedPrinter : public TCardPrinterLibrary {
public:
    static constexpr int32_t UsbPort = 100;
    static constexpr int32_t LastSerialPort = 16;
    static constexpr size_t BlockBytes = 16;
    static constexpr size_t PrintBufferBytes = 4096;
    static constexpr const char* AccessKey = "A3B19C07E2D4";

    // folder ends with a separator.
    explicit TSimulatedPrinter(std::string folder);
    ~TSimulatedPrinter() override;

    std::string StateFileName() const { return m_folder + "CardPrinter.ini"; }

    // USB (port 100 with 0) and serial ports 1 to 16 at 9600, 14400, 19200,
    // 38400 or 57600 baud; a port opens only once until it is closed.
    int32_t CommOpen(int32_t port, int32_t baudOrZero) override;
    int32_t CommClose(int32_t handle) override;
    // Empties the print buffer; the card stays where it is.
    int32_t Reset(int32_t handle, int32_t timeout) override;
    int32_t CardInOver(int32_t handle, int32_t timeout) override;
    // Ejects the card back to the feed slot, ready for the next transaction.
    int32_t Dischange(int32_t handle, int32_t mode, int32_t timeout) override;
    int32_t RfidCardRequestAndWriteData(
        int32_t handle, int32_t block, int32_t mode, const char* key, const char* data, int32_t timeout) override;
    // Writes at most 16 data bytes and a zero byte.
    int32_t RfidCardRequestAndReadData(
        int32_t handle, int32_t block, int32_t mode, const char* key, char* buffer, int32_t timeout) override;
    int32_t PrintBufferClear(int32_t handle, int32_t timeout) override;
    // Adds length bytes of text at (x, y) to the print buffer.
    int32_t PrintCharacterDataSetting(int32_t handle, int32_t mode, int32_t x, int32_t y, const char* text,
        int32_t length, int32_t timeout) override;
    // Erases the face, prints the buffer on it, writes CardFace.txt and
    // CardFace.png beside the state file, and ejects the card.
    int32_t ErasePrintDischarge(int32_t handle, int32_t a, int32_t b, int32_t c, int32_t timeout) override;

private:
    using TStep = std::function<int32_t(TPrinterStateFile&)>;

    // What a call does instead of its work, as a broken library would.
    enum class TMisbehaviour {
        None,
        // Crashes the process (Crash=, CrashEvery=).
        Crash,
        // Never returns (Hang=).
        Hang,
    };
    // Whether this call of function misbehaves; counts it for CrashEvery.
    // Under m_mutex.
    static TMisbehaviour Misbehaviour(TPrinterStateFile& state, std::string_view function);
    // The state file as it is now, read again only when it has changed on
    // disk. Under m_mutex.
    TPrinterStateFile& State();
    // Misbehaviour for CommOpen and CommClose, which read the state themselves.
    TMisbehaviour PortMisbehaviour(std::string_view function);
    // Crashes or hangs as decided; returns only for None. Outside m_mutex,
    // so a hang holds nothing but its own call.
    static void Misbehave(TMisbehaviour misbehaviour);

    // One card or print call: the handle must be open and its port idle;
    // DelayMs passes; a crash or hang for the function happens; a fault for
    // it answers instead of the printer; otherwise step runs on the current
    // state.
    int32_t DeviceCall(int32_t handle, std::string_view function, const TStep& step);
    bool ValidRfidRequest(int32_t block, int32_t mode, const char* key) const;

    std::string m_folder;
    std::mutex m_mutex;
    std::unique_ptr<TPrinterStateFile> m_state;
    std::map<int32_t, int32_t> m_portOfHandle;
    std::set<int32_t> m_busyPorts;
    int32_t m_nextHandle = 0x5A01;
    std::vector<TPrintedText> m_printBuffer;
    size_t m_printBufferUsed = 0;
};
