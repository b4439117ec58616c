#pragma once

#include <cstdint>
#include <memory>
#include <string>

// Settings of the local HTTP API in the HttpOption section of Option.ini.
// Read once at start; nothing in the program writes the section, and the
// other sections' saves leave it as it is. Without the section nothing
// listens, so an installation behaves as it did before the API existed.
class THttpOption {
public:
    // Stores the path; reads nothing.
    explicit THttpOption(std::string fileName);

    // A missing file, section or key, or a value the file's rules do not
    // accept, gives the key's default.
    void Load();

    std::string FileName;
    bool Enabled = false;
    int32_t Port = 8884;
    // An address of this computer, or a name that resolves to one.
    std::string BindAddress = "127.0.0.1";
    // Comma-separated exact origins ("https://pms.example.com") whose pages
    // may call the API.
    std::string AllowedOrigins;
    // When not empty, every request must carry "Authorization: Bearer <Token>".
    std::string Token;
};

// The one process-wide instance, created and loaded at start after SysOption.
extern std::unique_ptr<THttpOption> HttpOption;
