#pragma once

#include <cstdint>
#include <memory>
#include <string>

// Settings of the local HTTP API in the HttpOption section of Option.ini.
// Read once at start; nothing in the program writes the section, and the
// other sections' saves leave it as it is. Without the section nothing
// listens, so an installation behaves as it did before the API existed.
// Each key's name and default are in the key table in HttpOption.cpp.
class THttpOption {
public:
    // Stores the path and sets every field to its key's default; reads nothing.
    explicit THttpOption(std::string fileName);

    // A missing file, section or key, or a value the file's rules do not
    // accept, gives the key's default.
    void Load();

    std::string FileName;
    bool Enabled;
    int32_t Port;
    // An address of this computer, or a name that resolves to one.
    std::string BindAddress;
    // Comma-separated exact origins ("https://pms.example.com") whose pages
    // may call the API.
    std::string AllowedOrigins;
    // When not empty, every request must carry "Authorization: Bearer <Token>".
    std::string Token;
    // How long the answer to a request with an Idempotency-Key answers its
    // repeats, in seconds.
    int32_t IdempotencyKeySec;
};

// The one process-wide instance, created and loaded at start after MemberOption.
extern std::unique_ptr<THttpOption> HttpOption;
