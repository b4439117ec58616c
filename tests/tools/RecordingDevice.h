#pragma once

#include "member/BaseMemberUnit.h"

#include <mutex>
#include <string>

// A member device that answers at once with a chosen result and remembers
// the arguments of the last card operation (GBK, as the handler passes them).
class TRecordingDevice : public TBaseMember {
public:
    bool WriteCard(std::string CardNo, std::string ExpireDate, std::string GuestName, std::string Score,
        int32_t Channel) override;
    bool ReadCard(bool InputPassword, std::string& CardNo, std::string& Password, std::string& ExpireDate,
        std::string& GuestName, std::string& Score, int32_t Channel) override;
    bool PrintCard(std::string CardNo, std::string Content) override;

    bool Succeed = true;
    // What a successful read reports.
    std::string CardOnDevice = "00012345";

    std::string Operation;
    std::string CardNo;
    std::string ExpireDate;
    std::string GuestName;
    std::string Score;
    std::string Content;
    bool InputPassword = false;
    int32_t Channel = 0;
};
