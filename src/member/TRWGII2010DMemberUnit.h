#pragma once

#include "host/RCPV11VCDLL.h"
#include "member/BaseMemberUnit.h"
#include "status/ServiceMetrics.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

// The rewritable RFID card printer. Each card operation is one transaction
// (card in, data or print step, card out), reads MemberOption afresh and
// logs one line per outcome. The driver takes no lock: every caller goes
// through DeviceQueue, one whole operation at a time, so transactions never
// interleave.
class TTRWGII2010DMember : public TBaseMember {
public:
    // Drives the given library, which must outlive the driver.
    explicit TTRWGII2010DMember(TCardPrinterLibrary& library);
    ~TTRWGII2010DMember() override;
    TTRWGII2010DMember(const TTRWGII2010DMember&) = delete;
    TTRWGII2010DMember& operator=(const TTRWGII2010DMember&) = delete;

    void ShowOptions() override;
    bool OpenPort() override;
    bool ClosePort() override;
    bool ResetDevice() override;
    void Beep() override;
    // Stores only the card number; the other arguments are not used.
    bool WriteCard(std::string CardNo, std::string ExpireDate, std::string GuestName, std::string Score,
        int32_t Channel) override;
    // Gives only the card number; the other outputs stay empty.
    bool ReadCard(bool InputPassword, std::string& CardNo, std::string& Password, std::string& ExpireDate,
        std::string& GuestName, std::string& Score, int32_t Channel) override;
    // Prints Content at the top of the card and the advertising text at
    // YState; the card number is not used.
    bool PrintCard(std::string CardNo, std::string Content) override;

    std::optional<TPrinterFault> TransactionFault() const override { return m_transactionFault; }

    // The GBK text of a device status code; empty for a code it does not know.
    static std::string StatusText(int32_t code);
    static std::string WrapLines(const std::vector<std::string>& lines, int32_t width);

    // The port handle from the last CommOpen; 0 before the first one.
    // Closing the port leaves it as it is.
    int32_t Handle() const { return m_handle; }

private:
    // A failed step: logged, counted under the library function that
    // failed, kept as the printer's last fault for whoever watches the
    // interface, and as the operation's first fault when it is. status is
    // what the call gave, kind who gave it.
    void Fault(TPrinterFunction function, const std::string& text, int32_t status = 0,
        TPrinterFaultKind kind = TPrinterFaultKind::Printer);
    // Dischange, logging its failure; the transaction's result stands.
    // Counts a fault of function in the metrics, as its kind is counted.
    static void CountFault(TPrinterFunction function, TPrinterFaultKind kind);
    // afterFault: an earlier step of the transaction has failed already.
    void EjectCard(bool afterFault);

    TCardPrinterLibrary& m_library;
    int32_t m_handle = 0;
    // Whether the port behind m_handle is open, so that opening it again
    // closes it first instead of losing it.
    bool m_portOpen = false;
    std::optional<TPrinterFault> m_transactionFault;
};

// The options dialog lives in the windowed part of the program, which
// registers how to show it; until then ShowOptions does nothing.
void SetOptionsDialog(std::function<void()> show);
