#include "ClientMain.h"

#include "ClientArguments.h"
#include "ClientExchange.h"
#include "RequestBuilder.h"
#include "ResponseReader.h"

#include <cmath>
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>

namespace {

constexpr const char* kProgram = "member-client";

class EInputError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

std::string ReadAll(std::istream& stream)
{
    std::ostringstream bytes;
    bytes << stream.rdbuf();
    return bytes.str();
}

std::string RawBytes(const std::string& file, std::istream& in)
{
    if (file == "-") {
        std::string bytes = ReadAll(in);
        if (in.bad()) {
            throw EInputError("cannot read standard input");
        }
        return bytes;
    }
    std::ifstream stream(file, std::ios::binary);
    if (!stream) {
        throw EInputError("cannot open '" + file + "'");
    }
    std::string bytes = ReadAll(stream);
    if (stream.bad()) {
        throw EInputError("cannot read '" + file + "'");
    }
    return bytes;
}

int Report(std::ostream& err, int code, const std::string& message)
{
    err << kProgram << ": " << message << '\n';
    return code;
}

int ShowResponse(const TClientArguments& args, const std::string& text, std::ostream& out, std::ostream& err)
{
    const std::optional<TClientResponse> response = ReadResponse(text);
    if (args.Xml) {
        out << text << '\n';
    } else if (response) {
        out << FormatResponse(*response);
    }
    if (!response) {
        return Report(err, kExitBadResponse, "the answer is not a DoorResponse");
    }
    const std::string code = response->Value("ResultCode");
    if (code == "200") {
        return kExitSuccess;
    }
    if (code == "500") {
        return Report(err, kExitFailure, "the server reports failure: " + response->Value("ResultMessage"));
    }
    return Report(err, kExitBadResponse, "unknown result code '" + code + "'");
}

} // namespace

int RunMemberClient(const std::vector<std::string>& argList, std::istream& in, std::ostream& out, std::ostream& err)
{
    TClientArguments args;
    std::string request;
    try {
        args = ParseClientArguments(argList);
        if (args.Command == TClientCommand::Help) {
            out << ClientUsage();
            return kExitSuccess;
        }
        if (args.Command == TClientCommand::Version) {
            out << kProgram << ' ' << MEMBER_VERSION << '\n';
            return kExitSuccess;
        }
        request = args.Command == TClientCommand::Raw ? FrameRaw(RawBytes(args.RawFile, in)) : BuildRequest(args);
    } catch (const EUsageError& error) {
        err << kProgram << ": " << error.what() << '\n'
            << "Try '" << kProgram << " --help' for more information.\n";
        return kExitUsage;
    } catch (const EInputError& error) {
        return Report(err, kExitNoInput, error.what());
    }

    const auto timeout = std::chrono::milliseconds(std::llround(args.TimeoutSeconds * 1000));
    const TExchangeResult result = ExchangeRequest(args.Host, args.Port, request, timeout);
    switch (result.Outcome) {
    case TExchangeOutcome::Answered:
        return ShowResponse(args, result.Response, out, err);
    case TExchangeOutcome::ClosedWithoutAnswer:
        return Report(err, kExitNoAnswer, result.Error);
    case TExchangeOutcome::CutShort:
    case TExchangeOutcome::TooLong:
        return Report(err, kExitBadResponse, result.Error);
    case TExchangeOutcome::ConnectFailed:
    case TExchangeOutcome::TimedOut:
        break;
    }
    return Report(err, kExitNoConnection, result.Error);
}
