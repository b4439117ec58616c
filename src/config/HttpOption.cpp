#include "config/HttpOption.h"

#include "base/ProfileKey.h"

#include <string_view>

std::unique_ptr<THttpOption> HttpOption;

namespace {

constexpr std::string_view kSection = "HttpOption";

constexpr TProfileKey<THttpOption> kKeys[] = {
    {kSection, "Enabled", &THttpOption::Enabled, false},
    {kSection, "Port", &THttpOption::Port, 8884},
    {kSection, "BindAddress", &THttpOption::BindAddress, "127.0.0.1"},
    {kSection, "AllowedOrigins", &THttpOption::AllowedOrigins, ""},
    {kSection, "Token", &THttpOption::Token, ""},
    {kSection, "IdempotencyKeySec", &THttpOption::IdempotencyKeySec, 86400},
};

} // namespace

THttpOption::THttpOption(std::string fileName)
    : FileName(std::move(fileName))
{
    SetProfileDefaults(kKeys, *this);
}

void THttpOption::Load()
{
    LoadProfile(FileName, kKeys, *this);
}
