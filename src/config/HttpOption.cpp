#include "config/HttpOption.h"

#include "base/ProfileFile.h"

std::unique_ptr<THttpOption> HttpOption;

namespace {
constexpr const char* kHttp = "HttpOption";
} // namespace

THttpOption::THttpOption(std::string fileName)
    : FileName(std::move(fileName))
{
}

void THttpOption::Load()
{
    const TProfileFile ini(FileName);
    Enabled = ini.ReadBool(kHttp, "Enabled", false);
    Port = ini.ReadInteger(kHttp, "Port", 8884);
    BindAddress = ini.ReadString(kHttp, "BindAddress", "127.0.0.1");
    AllowedOrigins = ini.ReadString(kHttp, "AllowedOrigins", "");
    Token = ini.ReadString(kHttp, "Token", "");
}
