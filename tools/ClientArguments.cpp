#include "ClientArguments.h"

#include "base/StrToInt.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <map>

namespace {

// Which command may carry which option; the common ones go with all.
enum TOptionScope : unsigned {
    kAnyCommand = 0x1F,
    kWrite = 1u << static_cast<unsigned>(TClientCommand::Write),
    kRead = 1u << static_cast<unsigned>(TClientCommand::Read),
    kPrint = 1u << static_cast<unsigned>(TClientCommand::Print),
};

struct TOptionRule {
    bool TakesValue;
    unsigned Scope;
};

const std::map<std::string, TOptionRule, std::less<>>& Options()
{
    static const std::map<std::string, TOptionRule, std::less<>> options {
        {"--help", {false, kAnyCommand}},
        {"--xml", {false, kAnyCommand}},
        {"--host", {true, kAnyCommand}},
        {"--port", {true, kAnyCommand}},
        {"--timeout", {true, kAnyCommand}},
        {"--card-no", {true, kWrite | kPrint}},
        {"--expire-date", {true, kWrite}},
        {"--guest-name", {true, kWrite}},
        {"--score", {true, kWrite}},
        {"--channel", {true, kWrite | kRead}},
        {"--input-password", {false, kRead}},
        {"--content", {true, kPrint}},
    };
    return options;
}

const char* CommandName(TClientCommand command)
{
    switch (command) {
    case TClientCommand::Write:
        return "write";
    case TClientCommand::Read:
        return "read";
    case TClientCommand::Print:
        return "print";
    case TClientCommand::Raw:
        return "raw";
    case TClientCommand::Help:
        break;
    }
    return "help";
}

std::optional<TClientCommand> CommandNamed(const std::string& name)
{
    for (TClientCommand c : {TClientCommand::Write, TClientCommand::Read, TClientCommand::Print, TClientCommand::Raw}) {
        if (name == CommandName(c)) {
            return c;
        }
    }
    return std::nullopt;
}

uint16_t PortValue(const std::string& text)
{
    unsigned value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() || value < 1 || value > 65535) {
        throw EUsageError("invalid port '" + text + "': expected a whole number from 1 to 65535");
    }
    return static_cast<uint16_t>(value);
}

double TimeoutValue(const std::string& text)
{
    double value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() || !std::isfinite(value)
        || value <= 0 || value > 86400) {
        throw EUsageError("invalid time-out '" + text + "': expected seconds above 0, at most 86400");
    }
    return value;
}

// Checked here with the server's own number rules: a channel it cannot read
// would only make it close the connection without a word.
std::string ChannelValue(const std::string& text)
{
    int32_t ignored = 0;
    if (!TryStrToInt(text, ignored)) {
        throw EUsageError("invalid channel '" + text + "': expected a 32-bit whole number such as -1 or 11");
    }
    return text;
}

void Apply(TClientArguments& args, std::string_view name, const std::string& value)
{
    if (name == "--xml") {
        args.Xml = true;
    } else if (name == "--host") {
        if (value.empty()) {
            throw EUsageError("the host must not be empty");
        }
        args.Host = value;
    } else if (name == "--port") {
        args.Port = PortValue(value);
    } else if (name == "--timeout") {
        args.TimeoutSeconds = TimeoutValue(value);
    } else if (name == "--card-no") {
        args.CardNo = value;
    } else if (name == "--expire-date") {
        args.ExpireDate = value;
    } else if (name == "--guest-name") {
        args.GuestName = value;
    } else if (name == "--score") {
        args.Score = value;
    } else if (name == "--channel") {
        args.Channel = ChannelValue(value);
    } else if (name == "--input-password") {
        args.InputPassword = true;
    } else if (name == "--content") {
        args.Content = UnescapeContent(value);
    }
}

} // namespace

TClientArguments ParseClientArguments(const std::vector<std::string>& args)
{
    TClientArguments result;
    std::optional<TClientCommand> command;
    std::vector<std::string> operands;
    // Options are checked against the command once it is known, so both
    // "write --card-no 1" and "--card-no 1 write" work.
    std::vector<std::pair<std::string, std::string>> given;
    bool helpAsked = false;
    bool optionsEnded = false;

    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (optionsEnded || arg == "-" || !arg.starts_with('-')) {
            if (!command) {
                command = CommandNamed(arg);
                if (!command) {
                    throw EUsageError("unknown command '" + arg + "'");
                }
            } else {
                operands.push_back(arg);
            }
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        if (arg == "-h") {
            helpAsked = true;
            continue;
        }
        const size_t eq = arg.find('=');
        const std::string name = arg.substr(0, eq);
        const auto rule = Options().find(name);
        if (rule == Options().end() || !name.starts_with("--")) {
            throw EUsageError("unrecognized option '" + arg + "'");
        }
        std::string value;
        if (!rule->second.TakesValue) {
            if (eq != std::string::npos) {
                throw EUsageError("option '" + name + "' doesn't allow an argument");
            }
        } else if (eq != std::string::npos) {
            value = arg.substr(eq + 1);
        } else if (i + 1 < args.size()) {
            value = args[++i];
        } else {
            throw EUsageError("option '" + name + "' requires an argument");
        }
        if (name == "--help") {
            helpAsked = true;
            continue;
        }
        given.emplace_back(name, std::move(value));
    }

    if (helpAsked) {
        result.Command = TClientCommand::Help;
        return result;
    }
    if (!command) {
        throw EUsageError("no command given");
    }

    result.Command = *command;
    const unsigned bit = 1u << static_cast<unsigned>(*command);
    for (const auto& [name, value] : given) {
        if ((Options().find(name)->second.Scope & bit) == 0) {
            throw EUsageError("option '" + name + "' does not apply to '" + CommandName(*command) + "'");
        }
        Apply(result, name, value);
    }

    if (*command == TClientCommand::Raw) {
        if (operands.size() != 1) {
            throw EUsageError(operands.empty() ? "'raw' needs a file name, or - for standard input"
                                               : "'raw' takes one file, not " + std::to_string(operands.size()));
        }
        result.RawFile = operands.front();
        return result;
    }
    if (!operands.empty()) {
        throw EUsageError("unexpected argument '" + operands.front() + "'");
    }
    const bool cardNoGiven
        = std::any_of(given.begin(), given.end(), [](const auto& option) { return option.first == "--card-no"; });
    if ((*command == TClientCommand::Write || *command == TClientCommand::Print) && !cardNoGiven) {
        throw EUsageError(std::string("'") + CommandName(*command) + "' needs --card-no");
    }
    return result;
}

std::string UnescapeContent(const std::string& typed)
{
    std::string text;
    text.reserve(typed.size());
    for (size_t i = 0; i < typed.size(); ++i) {
        if (typed[i] == '\\' && i + 1 < typed.size()) {
            const char next = typed[i + 1];
            if (next == 'n' || next == 'r' || next == '\\') {
                text.push_back(next == 'n' ? '\n' : next == 'r' ? '\r' : '\\');
                ++i;
                continue;
            }
        }
        text.push_back(typed[i]);
    }
    return text;
}

std::string ClientUsage()
{
    return R"(Usage: member-client COMMAND [OPTION]...
Sends one request to the member-card interface and shows its response.

Commands:
  write --card-no N [--expire-date D] [--guest-name G] [--score S] [--channel C]
                      put card number N on the card in the printer
  read [--input-password] [--channel C]
                      read the card number from the card in the printer
  print --card-no N [--content TEXT]
                      print TEXT on the card's face; "\n" in TEXT starts a new
                      line ("\r" and "\\" are understood too)
  raw FILE            send the bytes of FILE (- for standard input) as they
                      are, followed by a zero byte

Options:
      --host HOST     server to connect to (default 127.0.0.1)
      --port PORT     server port (default 8883)
      --timeout SECS  give up after SECS seconds (default 30)
      --xml           print the response text exactly as received
  -h, --help          show this help and exit

The channel is -1 for the hotel's own card (the server's default) or 11 for
the alliance card.

Exit status:
  0   the server answered "200" (success)
  1   the server answered "500" (failure)
  2   the server closed the connection without answering
  3   no connection, or no answer within the time-out
  64  the command line is wrong
  66  the raw input cannot be read
  76  the server answered with something that is not a response
)";
}
