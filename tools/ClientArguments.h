#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

// A command line member-client cannot make sense of; the text says what is
// wrong in a form fit to follow "member-client: ".
class EUsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

enum class TClientCommand { Help, Write, Read, Print, Raw, Version };

// Everything the command line asks for. Texts are as typed (UTF-8).
struct TClientArguments {
    TClientCommand Command = TClientCommand::Help;
    std::string Host = "127.0.0.1";
    uint16_t Port = 8883;
    double TimeoutSeconds = 30;
    bool Xml = false;

    std::string CardNo;
    std::string ExpireDate;
    std::string GuestName;
    std::string Score;
    std::optional<std::string> Channel;
    bool InputPassword = false;
    std::optional<std::string> Content;
    // "-" stands for standard input.
    std::string RawFile;
};

// Options may stand before or after the command, as "--name value" or
// "--name=value"; "--" ends the options. --help, then --version, win over
// everything else but a malformed option. Throws EUsageError.
TClientArguments ParseClientArguments(const std::vector<std::string>& args);

// The usage text shown by --help.
std::string ClientUsage();

// Turns the escapes "\n", "\r" and "\\" typed in a --content value into the
// characters they stand for; any other backslash stays as it is.
std::string UnescapeContent(const std::string& typed);
