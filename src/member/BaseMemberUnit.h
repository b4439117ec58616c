#pragma once

#include "host/PrinterFault.h"

#include <cstdint>
#include <optional>
#include <string>

// The member-card device as the shell, the request handler and the test
// dialog see it. All texts are GBK. Each operation reports device failures
// only through its result; the default bodies do nothing and fail.
class TBaseMember {
public:
    virtual ~TBaseMember() = default;

    virtual void ShowOptions() { }
    virtual bool OpenPort() { return false; }
    virtual bool ClosePort() { return false; }
    virtual bool ResetDevice() { return false; }
    virtual void Beep() { }
    virtual bool WriteCard(std::string CardNo, std::string ExpireDate, std::string GuestName, std::string Score,
        int32_t Channel);
    // The outputs are expected empty on entry; on false the caller uses none.
    virtual bool ReadCard(bool InputPassword, std::string& CardNo, std::string& Password, std::string& ExpireDate,
        std::string& GuestName, std::string& Score, int32_t Channel);
    virtual bool PrintCard(std::string CardNo, std::string Content);

    // The first printer fault of the last operation; nothing when it met
    // none or the device names no faults. Asked in the operation's own turn
    // of the device queue.
    virtual std::optional<TPrinterFault> TransactionFault() const { return std::nullopt; }
};

// The device in use, or null. Set once before the listener starts and not
// owned: the program's entry owns the device.
extern TBaseMember* CurrentMemberDevice;

// The answer to one request; every field is GBK text and starts empty.
struct TResponse {
    std::string RequestID;
    std::string ResultCode;
    std::string ResultMessage;
    std::string CardNo;
    std::string Password;
    std::string ExpireDate;
    std::string GuestName;
    std::string Score;
};

// The DoorResponse text as UTF-8 bytes, without the closing zero byte.
// Field values are escaped (&, <, >) and control characters other than tab,
// LF and CR become "?", so no value can break or forge the document; a
// value without those characters appears exactly as it is.
std::string BuildResponseText(const TResponse& response);
