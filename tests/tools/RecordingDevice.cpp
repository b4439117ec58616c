#include "RecordingDevice.h"

bool TRecordingDevice::WriteCard(
    std::string CardNo, std::string ExpireDate, std::string GuestName, std::string Score, int32_t Channel)
{
    Operation = "write";
    this->CardNo = std::move(CardNo);
    this->ExpireDate = std::move(ExpireDate);
    this->GuestName = std::move(GuestName);
    this->Score = std::move(Score);
    this->Channel = Channel;
    return Succeed;
}

bool TRecordingDevice::ReadCard(bool InputPassword, std::string& CardNo, std::string&, std::string&, std::string&,
    std::string&, int32_t Channel)
{
    Operation = "read";
    this->InputPassword = InputPassword;
    this->Channel = Channel;
    if (Succeed) {
        CardNo = CardOnDevice;
    }
    return Succeed;
}

bool TRecordingDevice::PrintCard(std::string CardNo, std::string Content)
{
    Operation = "print";
    this->CardNo = std::move(CardNo);
    this->Content = std::move(Content);
    return Succeed;
}
