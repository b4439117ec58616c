#pragma once

#include "member/BaseMemberUnit.h"

#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <vector>

// A device that records every call with its arguments and answers with the
// results it is given. Can hold each card operation for a while, to make
// overlapping calls visible.
class TRecordingMember : public TBaseMember {
public:
    struct TCall {
        std::string Operation;
        std::vector<std::string> Args;
    };

    void ShowOptions() override;
    bool OpenPort() override;
    bool ClosePort() override;
    bool ResetDevice() override;
    void Beep() override;
    bool WriteCard(std::string CardNo, std::string ExpireDate, std::string GuestName, std::string Score,
        int32_t Channel) override;
    bool ReadCard(bool InputPassword, std::string& CardNo, std::string& Password, std::string& ExpireDate,
        std::string& GuestName, std::string& Score, int32_t Channel) override;
    bool PrintCard(std::string CardNo, std::string Content) override;

    std::vector<TCall> Calls() const;

    bool Result = true;
    // What a successful ReadCard hands back.
    std::string ReadCardNo = "00012345";
    std::string ReadPassword;
    std::string ReadExpireDate;
    std::string ReadGuestName;
    std::string ReadScore;
    std::chrono::milliseconds Hold {0};
    // Set when two operations were ever inside the device at once.
    std::atomic<bool> Overlapped {false};

private:
    bool Record(std::string operation, std::vector<std::string> args);

    mutable std::mutex m_mutex;
    std::vector<TCall> m_calls;
    std::atomic<int> m_inside {0};
};
