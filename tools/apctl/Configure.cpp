#include <string>

#include "config/ConfigExchange.h"
#include "fleet/Verify.h"
#include "resources/StringTable.h"
#include "tools/apctl/ApctlFormat.h"
#include "tools/apctl/ApctlNetworks.h"
#include "tools/apctl/Commands.h"
#include "tools/apctl/Json.h"

namespace apctl {

namespace {

std::string ConfigureJson(const Command& command, const std::string& outcome,
                          const std::string& message, const fleet::VerifyResult* verified) {
    Json json = {{"macText", JsonFromLatin1(command.macText)},
                 {"mode", command.dhcpClient ? "dhcp" : "fixed"},
                 {"outcome", JsonFromLatin1(outcome)},
                 {"message", LocalTextValue(message)}};
    if (verified != nullptr) {
        json["address"] = verified->address.empty() ? Json() : JsonFromLatin1(verified->address);
        json["seconds"] = verified->seconds;
        json["seenAt"] = Json::array();
        for (const std::string& address : verified->seenAt) {
            json["seenAt"].push_back(JsonFromLatin1(address));
        }
    }
    return JsonText(json) + "\n";
}

// The same outcome texts as the IP Configuration dialog shows for each mode; a socket step that
// failed is told apart from a request nobody acknowledged.
int SayNotConfigured(const Command& command, ConfigureOutcome outcome, const ExchangeReport& report,
                     std::ostream& out, std::ostream& err) {
    const bool setFailed = outcome == ConfigureOutcome::kSetFailed;
    const AddressExchange* failure = report.Failure();
    std::string message;
    if (failure != nullptr) {
        message =
            FailureText(setFailed ? "the configuration request" : "the reset request", *failure);
        err << "apctl: " << message << "\n";
    } else {
        message = setFailed
                      ? (command.dhcpClient ? "Set Fail" : LoadStringResource(IDS_UNABLE_TO_SAVE))
                      : (command.dhcpClient ? "Reset Fail" : LoadStringResource(IDS_RESET_FAILED));
        err << message << "\n";
    }
    if (command.format == OutputFormat::kJson) {
        out << ConfigureJson(command,
                             failure != nullptr ? "failed"
                             : setFailed        ? "not acknowledged"
                                                : "reset not acknowledged",
                             message, nullptr);
    }
    return kExitFailed;
}

// --verify: configured and reset, it should now answer at its new address.
int Verify(const Command& command, const ExchangeOptions& base, const RunContext& context,
           std::ostream& out, std::ostream& err) {
    // The address as the access point will report it: decimal octets without leading zeros.
    std::string canonical;
    if (!command.dhcpClient) {
        std::uint32_t parsed = 0;
        ParseDecimalDottedQuad(command.ipAddress.c_str(), &parsed);
        canonical = AddressText(parsed);
    }
    const fleet::VerifyResult verified = fleet::WaitUntilItAnswers(
        command.macText, canonical, base, command.verifySeconds, context.stop);
    const std::string text =
        fleet::VerifyText(command.macText, canonical, command.verifySeconds, verified);
    WarnKernelDrops(verified.kernelDrops, err);
    const bool answers = verified.outcome == fleet::VerifyResult::Outcome::kAnswers;
    if (command.format == OutputFormat::kJson) {
        out << ConfigureJson(command, fleet::OutcomeName(verified.outcome), text, &verified);
    } else if (answers) {
        out << text << "\n";
    }
    if (!answers) {
        err << "apctl: " << text << "\n";
    }
    return answers ? kExitSuccess : kExitFailed;
}

}  // namespace

int Configure(const Command& command, const ExchangeOptions& base, const RunContext& context,
              std::ostream& out, std::ostream& err) {
    const bool json = command.format == OutputFormat::kJson;
    ExchangeReport report;
    ExchangeOptions options = base;
    options.report = &report;
    const char* const nullText = "NULL";
    const ConfigureOutcome outcome =
        command.dhcpClient
            ? ConfigureAndResetWith(options, 1, command.macText.c_str(), nullText, nullText,
                                    nullText, nullText)
            : ConfigureAndResetWith(options, 0, command.macText.c_str(), command.ipAddress.c_str(),
                                    command.subnetMask.c_str(), command.gateway.c_str(),
                                    command.dnsServer.c_str());
    if (outcome != ConfigureOutcome::kSuccess) {
        return SayNotConfigured(command, outcome, report, out, err);
    }
    const std::string saved =
        command.dhcpClient ? "Set Success" : LoadStringResource(IDS_DATA_SAVED);
    if (json && !command.verify) {
        out << ConfigureJson(command, "configured", saved, nullptr);
    } else if (!json) {
        out << saved << "\n" << std::flush;
    }
    return command.verify ? Verify(command, base, context, out, err) : kExitSuccess;
}

}  // namespace apctl
