#include "support/RecordingMember.h"

#include <thread>

bool TRecordingMember::Record(std::string operation, std::vector<std::string> args)
{
    if (m_inside.fetch_add(1) != 0) {
        Overlapped = true;
    }
    {
        std::scoped_lock lock(m_mutex);
        m_calls.push_back({std::move(operation), std::move(args)});
    }
    if (Hold.count() > 0) {
        std::this_thread::sleep_for(Hold);
    }
    m_inside.fetch_sub(1);
    return Result;
}

void TRecordingMember::ShowOptions()
{
    Record("ShowOptions", {});
}

bool TRecordingMember::OpenPort()
{
    return Record("OpenPort", {});
}

bool TRecordingMember::ClosePort()
{
    return Record("ClosePort", {});
}

bool TRecordingMember::ResetDevice()
{
    return Record("ResetDevice", {});
}

void TRecordingMember::Beep()
{
    Record("Beep", {});
}

bool TRecordingMember::WriteCard(
    std::string CardNo, std::string ExpireDate, std::string GuestName, std::string Score, int32_t Channel)
{
    return Record("WriteCard", {CardNo, ExpireDate, GuestName, Score, std::to_string(Channel)});
}

bool TRecordingMember::ReadCard(bool InputPassword, std::string& CardNo, std::string& Password,
    std::string& ExpireDate, std::string& GuestName, std::string& Score, int32_t Channel)
{
    const bool ok = Record("ReadCard", {InputPassword ? "1" : "0", std::to_string(Channel)});
    if (ok) {
        CardNo = ReadCardNo;
        Password = ReadPassword;
        ExpireDate = ReadExpireDate;
        GuestName = ReadGuestName;
        Score = ReadScore;
    }
    return ok;
}

bool TRecordingMember::PrintCard(std::string CardNo, std::string Content)
{
    return Record("PrintCard", {CardNo, Content});
}

std::vector<TRecordingMember::TCall> TRecordingMember::Calls() const
{
    std::scoped_lock lock(m_mutex);
    return m_calls;
}
