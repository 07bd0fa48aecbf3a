#include <string>

#include "config/ConfigExchange.h"
#include "fleet/Configure.h"
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
int SayNotConfigured(const Command& command, const fleet::ConfigureResult& result,
                     std::ostream& out, std::ostream& err) {
    const bool setFailed = result.outcome == fleet::ConfigureResult::Outcome::kSetFailed;
    const AddressExchange* failure = result.report.Failure();
    std::string message;
    if (failure != nullptr) {
        message = fleet::ConfigureFailureText(result);
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
int Verify(const Command& command, const fleet::Session& session, std::ostream& out,
           std::ostream& err) {
    // The address as the access point will report it: decimal octets without leading zeros.
    std::string canonical;
    if (!command.dhcpClient) {
        std::uint32_t parsed = 0;
        ParseDecimalDottedQuad(command.ipAddress.c_str(), &parsed);
        canonical = AddressText(parsed);
    }
    const fleet::VerifyResult verified =
        fleet::WaitUntilItAnswers(session, command.macText, canonical, command.verifySeconds);
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

int Configure(const Command& command, const fleet::Session& session, std::ostream& out,
              std::ostream& err) {
    const bool json = command.format == OutputFormat::kJson;
    fleet::PlanRow row;
    row.macText = command.macText;
    row.dhcpClient = command.dhcpClient;
    row.ipAddress = command.ipAddress;
    row.subnetMask = command.subnetMask;
    row.gateway = command.gateway;
    row.dnsServer = command.dnsServer;
    // No discovery to go by: with --parallel every network is asked at once.
    fleet::Route route;
    route.allAtOnce = session.parallel;
    const fleet::ConfigureResult result = fleet::Configure(session, row, route);
    if (result.outcome != fleet::ConfigureResult::Outcome::kConfigured) {
        return SayNotConfigured(command, result, out, err);
    }
    const std::string saved =
        command.dhcpClient ? "Set Success" : LoadStringResource(IDS_DATA_SAVED);
    if (json && !command.verify) {
        out << ConfigureJson(command, "configured", saved, nullptr);
    } else if (!json) {
        out << saved << "\n" << std::flush;
    }
    return command.verify ? Verify(command, session, out, err) : kExitSuccess;
}

}  // namespace apctl
