#include "InstantDevice.h"

bool TInstantDevice::WriteCard(std::string, std::string, std::string, std::string, int32_t)
{
    return true;
}

bool TInstantDevice::ReadCard(
    bool, std::string& CardNo, std::string&, std::string&, std::string&, std::string&, int32_t)
{
    CardNo = "00012345";
    return true;
}

bool TInstantDevice::PrintCard(std::string, std::string)
{
    return true;
}
