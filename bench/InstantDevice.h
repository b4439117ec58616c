#pragma once

#include "member/BaseMemberUnit.h"

// A card device that succeeds at once, so a benchmark measures the server
// and nothing of the printer.
class TInstantDevice : public TBaseMember {
public:
    bool WriteCard(std::string CardNo, std::string ExpireDate, std::string GuestName, std::string Score,
        int32_t Channel) override;
    bool ReadCard(bool InputPassword, std::string& CardNo, std::string& Password, std::string& ExpireDate,
        std::string& GuestName, std::string& Score, int32_t Channel) override;
    bool PrintCard(std::string CardNo, std::string Content) override;
};
