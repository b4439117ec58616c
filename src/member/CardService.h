#pragma once

#include "base/Asio.h"
#include "member/BaseMemberUnit.h"
#include "host/PrinterFault.h"

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <system_error>

class TRequestClient;

// A request whose device step was dropped before it began: the program is
// stopping, the client went away or the request waited too long. Logged
// once; no answer on the member port.
class ERequestDropped : public std::runtime_error {
public:
    explicit ERequestDropped(std::error_code reason);
    // A TDeviceQueueError.
    std::error_code Reason;
};

// The three request types once their elements have been read; every text is
// GBK. Channel is -1, the hotel's own card, when the request names none.
struct TWriteRequest {
    std::string CardNo;
    std::string ExpireDate;
    std::string GuestName;
    std::string Score;
    int32_t Channel = -1;
};

struct TReadRequest {
    bool InputPassword = false;
    int32_t Channel = -1;
};

struct TPrintRequest {
    std::string CardNo;
    std::string Content;
};

// What one card transaction came to, for whichever protocol asked: the
// answer's fields as the response record carries them, and the first
// printer fault the transaction met, when it met one.
struct TCardOutcome {
    TResponse Response;
    std::optional<TPrinterFault> Fault;
};

// The three card transactions, the same whichever protocol asked (the
// member port's XML or the HTTP API's JSON): each waits its turn in the
// device queue, runs on CurrentMemberDevice, logs its outcome, counts it
// and returns it. client, when given, is asked right before the card
// transaction whether it has gone. Throw ERequestDropped when the device
// step never began (logged once).
class TCardService {
public:
    asio::awaitable<TCardOutcome> WriteMemberCard(TWriteRequest request, const TRequestClient* client = nullptr);
    asio::awaitable<TCardOutcome> ReadMemberCard(TReadRequest request, const TRequestClient* client = nullptr);
    asio::awaitable<TCardOutcome> PrintMemberCard(TPrintRequest request, const TRequestClient* client = nullptr);
};
