#include "ClientArguments.h"

#include "base/StrToInt.h"

#include <QCommandLineParser>
#include <QStringList>

#include <charconv>
#include <cmath>

namespace {

// Which command may carry which option; the common ones go with all.
enum TOptionScope : unsigned {
    kWrite = 1u << static_cast<unsigned>(TClientCommand::Write),
    kRead = 1u << static_cast<unsigned>(TClientCommand::Read),
    kPrint = 1u << static_cast<unsigned>(TClientCommand::Print),
    kRaw = 1u << static_cast<unsigned>(TClientCommand::Raw),
    kAnyCommand = kWrite | kRead | kPrint | kRaw,
};

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
    case TClientCommand::Version:
        break;
    }
    return "help";
}

// The parser sees every byte as one Latin-1 character, so values (and the
// parser's messages quoting them) come back byte for byte: whether they are
// UTF-8 is for the request builder to say, naming the option.
QString Chars(const std::string& bytes)
{
    return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

std::string Bytes(const QString& chars)
{
    const QByteArray latin1 = chars.toLatin1();
    return std::string(latin1.constData(), static_cast<size_t>(latin1.size()));
}

TClientCommand CommandNamed(const std::string& name)
{
    for (TClientCommand c : {TClientCommand::Write, TClientCommand::Read, TClientCommand::Print, TClientCommand::Raw}) {
        if (name == CommandName(c)) {
            return c;
        }
    }
    throw EUsageError("unknown command '" + name + "'");
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

std::string HostValue(const std::string& text)
{
    if (text.empty()) {
        throw EUsageError("the host must not be empty");
    }
    return text;
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

// Every option once: its name, what its value is called (empty for a
// switch), which commands take it, and what it sets.
struct TOptionRule {
    const char* Name;
    const char* ValueName;
    unsigned Scope;
    void (*Apply)(TClientArguments& args, const std::string& value);
};

constexpr TOptionRule kOptions[] = {
    {"xml", "", kAnyCommand, [](TClientArguments& a, const std::string&) { a.Xml = true; }},
    {"host", "HOST", kAnyCommand, [](TClientArguments& a, const std::string& v) { a.Host = HostValue(v); }},
    {"port", "PORT", kAnyCommand, [](TClientArguments& a, const std::string& v) { a.Port = PortValue(v); }},
    {"timeout", "SECS", kAnyCommand,
        [](TClientArguments& a, const std::string& v) { a.TimeoutSeconds = TimeoutValue(v); }},
    {"card-no", "N", kWrite | kPrint, [](TClientArguments& a, const std::string& v) { a.CardNo = v; }},
    {"expire-date", "D", kWrite, [](TClientArguments& a, const std::string& v) { a.ExpireDate = v; }},
    {"guest-name", "G", kWrite, [](TClientArguments& a, const std::string& v) { a.GuestName = v; }},
    {"score", "S", kWrite, [](TClientArguments& a, const std::string& v) { a.Score = v; }},
    {"channel", "C", kWrite | kRead, [](TClientArguments& a, const std::string& v) { a.Channel = ChannelValue(v); }},
    {"input-password", "", kRead, [](TClientArguments& a, const std::string&) { a.InputPassword = true; }},
    {"content", "TEXT", kPrint, [](TClientArguments& a, const std::string& v) { a.Content = UnescapeContent(v); }},
};

const TOptionRule& RuleOf(const QString& name)
{
    for (const TOptionRule& rule : kOptions) {
        if (name == QLatin1String(rule.Name)) {
            return rule;
        }
    }
    // The parser only reports names it was given.
    throw std::logic_error("unregistered option " + name.toStdString());
}

} // namespace

TClientArguments ParseClientArguments(const std::vector<std::string>& args)
{
    // Options go before or after the command: the parser collects them all,
    // and they are checked against the command once it is known.
    QCommandLineParser parser;
    const QCommandLineOption help(QStringList {QStringLiteral("h"), QStringLiteral("help")});
    const QCommandLineOption version(QStringLiteral("version"));
    parser.addOption(help);
    parser.addOption(version);
    for (const TOptionRule& rule : kOptions) {
        parser.addOption(QCommandLineOption(QLatin1String(rule.Name), QString(), QLatin1String(rule.ValueName)));
    }
    QStringList list {QStringLiteral("member-client")};
    for (const std::string& arg : args) {
        list << Chars(arg);
    }
    if (!parser.parse(list)) {
        throw EUsageError(Bytes(parser.errorText()));
    }

    TClientArguments result;
    if (parser.isSet(help)) {
        result.Command = TClientCommand::Help;
        return result;
    }
    if (parser.isSet(version)) {
        result.Command = TClientCommand::Version;
        return result;
    }
    QStringList operands = parser.positionalArguments();
    if (operands.isEmpty()) {
        throw EUsageError("no command given");
    }
    result.Command = CommandNamed(Bytes(operands.takeFirst()));

    const unsigned bit = 1u << static_cast<unsigned>(result.Command);
    for (const QString& name : parser.optionNames()) {
        const TOptionRule& rule = RuleOf(name);
        if ((rule.Scope & bit) == 0) {
            throw EUsageError("option '--" + Bytes(name) + "' does not apply to '" + CommandName(result.Command) + "'");
        }
    }
    for (const TOptionRule& rule : kOptions) {
        const QString name = QLatin1String(rule.Name);
        if (parser.isSet(name)) {
            // Given twice, the last one counts.
            rule.Apply(result, *rule.ValueName == '\0' ? std::string() : Bytes(parser.values(name).constLast()));
        }
    }

    if (result.Command == TClientCommand::Raw) {
        if (operands.size() != 1) {
            throw EUsageError(operands.empty() ? "'raw' needs a file name, or - for standard input"
                                               : "'raw' takes one file, not " + std::to_string(operands.size()));
        }
        result.RawFile = Bytes(operands.front());
        return result;
    }
    if (!operands.empty()) {
        throw EUsageError("unexpected argument '" + Bytes(operands.front()) + "'");
    }
    if ((result.Command == TClientCommand::Write || result.Command == TClientCommand::Print)
        && !parser.isSet(QStringLiteral("card-no"))) {
        throw EUsageError(std::string("'") + CommandName(result.Command) + "' needs --card-no");
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
      --version       show the version and exit

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
