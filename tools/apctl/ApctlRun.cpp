#include "tools/apctl/ApctlRun.h"

#include <cstdio>
#include <cstring>
#include <optional>
#include <vector>

#include "config/ConfigExchange.h"
#include "discovery/DiscoverDevices.h"
#include "discovery/Exchange.h"
#include "discovery/NetworkStartup.h"
#include "fleet/Verify.h"
#include "resources/StringTable.h"
#include "tools/apctl/ApctlFormat.h"
#include "tools/apctl/ApctlNetworks.h"
#include "tools/apctl/ApctlWatch.h"
#include "tools/apctl/PlanApply.h"

namespace apctl {

namespace {

int Discover(const Command& command, const ExchangeOptions& base, const RunContext& context,
             std::ostream& out, std::ostream& err) {
    std::vector<DeviceRecord> records;
    ExchangeReport report;
    ExchangeOptions options = base;
    options.parallel = command.parallel;
    options.report = &report;
    const int completed = DiscoverAll(options, &records);
    if (command.verbose) {
        ReportExchanges(report, static_cast<int>(records.size()), context, err);
    }
    WarnKernelDrops(report.addresses, err);
    if (report.listingFailed) {
        err << "apctl: cannot list the network interfaces: " << std::strerror(report.listingError)
            << "\n";
        return kExitFailed;
    }
    // A failed exchange is no empty network: nothing on standard output, and say where and why.
    if (completed == 0) {
        if (!ReportFailure("discovery", report, err)) {
            err << "apctl: discovery failed\n";
        }
        return kExitFailed;
    }
    switch (command.format) {
        case OutputFormat::kJson:
            out << FormatJson(records);
            break;
        case OutputFormat::kCsv:
            out << FormatCsv(records);
            break;
        case OutputFormat::kTable:
            out << FormatTable(records);
            break;
    }
    return kExitSuccess;
}

std::string ConfigureJson(const Command& command, const std::string& outcome,
                          const std::string& message, const fleet::VerifyResult* verified) {
    std::string json = "{\"macText\": " + JsonString(command.macText) + ", \"mode\": \"" +
                       (command.dhcpClient ? "dhcp" : "fixed") +
                       "\", \"outcome\": " + JsonString(outcome) +
                       ", \"message\": " + JsonString(message);
    if (verified != nullptr) {
        const std::string seconds = SecondsText(verified->seconds);
        json += ", \"address\": " +
                (verified->address.empty() ? std::string("null") : JsonString(verified->address)) +
                ", \"seconds\": " + seconds + ", \"seenAt\": [";
        for (std::size_t i = 0; i < verified->seenAt.size(); ++i) {
            json += (i == 0 ? "" : ", ") + JsonString(verified->seenAt[i]);
        }
        json += "]";
    }
    return json + "}\n";
}

// The same outcome texts as the IP Configuration dialog shows for each mode; a socket step that
// failed is told apart from a request nobody acknowledged.
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
        const bool setFailed = outcome == ConfigureOutcome::kSetFailed;
        const AddressExchange* failure = report.Failure();
        std::string message;
        if (failure != nullptr) {
            message = FailureText(setFailed ? "the configuration request" : "the reset request",
                                  *failure);
            err << "apctl: " << message << "\n";
        } else {
            message =
                setFailed
                    ? (command.dhcpClient ? "Set Fail" : LoadStringResource(IDS_UNABLE_TO_SAVE))
                    : (command.dhcpClient ? "Reset Fail" : LoadStringResource(IDS_RESET_FAILED));
            err << message << "\n";
        }
        if (json) {
            out << ConfigureJson(command,
                                 failure != nullptr ? "failed"
                                 : setFailed        ? "not acknowledged"
                                                    : "reset not acknowledged",
                                 message, nullptr);
        }
        return kExitFailed;
    }
    const std::string saved =
        command.dhcpClient ? "Set Success" : LoadStringResource(IDS_DATA_SAVED);
    if (!command.verify) {
        if (json) {
            out << ConfigureJson(command, "configured", saved, nullptr);
        } else {
            out << saved << "\n";
        }
        return kExitSuccess;
    }
    if (!json) {
        out << saved << "\n" << std::flush;
    }
    const std::string expected = command.dhcpClient ? "" : command.ipAddress;
    // The address as the access point will report it: decimal octets without leading zeros.
    std::string canonical;
    if (!expected.empty()) {
        std::uint32_t parsed = 0;
        ParseDecimalDottedQuad(expected.c_str(), &parsed);
        canonical = AddressText(parsed);
    }
    const fleet::VerifyResult verified =
        fleet::WaitUntilItAnswers(command.macText, canonical, base, command.verifySeconds, context.stop);
    const std::string text =
        fleet::VerifyText(command.macText, canonical, command.verifySeconds, verified);
    WarnKernelDrops(verified.kernelDrops, err);
    const bool answers = verified.outcome == fleet::VerifyResult::Outcome::kAnswers;
    if (json) {
        out << ConfigureJson(command, fleet::OutcomeName(verified.outcome), text, &verified);
    } else if (answers) {
        out << text << "\n";
    }
    if (!answers) {
        err << "apctl: " << text << "\n";
    }
    return answers ? kExitSuccess : kExitFailed;
}

int Reset(const Command& command, const ExchangeOptions& base, std::ostream& out,
          std::ostream& err) {
    ExchangeReport report;
    ExchangeOptions options = base;
    options.report = &report;
    if (SendResetWith(options, command.macText.c_str()) != 0) {
        out << "Reset Success\n";
        return kExitSuccess;
    }
    if (const AddressExchange* failure = report.Failure()) {
        err << "apctl: " << FailureText("the reset request", *failure) << "\n";
    } else {
        err << "Reset Fail\n";
    }
    return kExitFailed;
}

bool Discovers(const Command& command) {
    return command.action == Action::kDiscover || command.action == Action::kApply ||
           command.action == Action::kWatch ||
           (command.action == Action::kConfigure && command.verify);
}

// With no local address to send from, a discovery finds nothing and fails nowhere: unsaid, that
// passes for an empty network. Said once, however many discoveries follow.
void SayWhenNoAddressIsUsable(const ExchangeOptions& options, std::ostream& err) {
    std::vector<net::LocalAddress> addresses;
    // Interfaces that cannot be listed are the command's own failure, said by it.
    if (ExchangeAddresses(options, &addresses) && addresses.empty()) {
        err << "apctl: no usable IPv4 interface; see apctl interfaces\n";
    }
}

}  // namespace

int Run(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err) {
    return Run(arguments, out, err, RunContext{});
}

int Run(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err,
        const RunContext& context) {
    Command command;
    std::string error;
    if (!ParseCommandLine(arguments, &command, &error)) {
        err << "apctl: " << error << "\nTry 'apctl --help'.\n";
        return kExitUsage;
    }
    if (command.action == Action::kHelp) {
        out << HelpText();
        return kExitSuccess;
    }
    if (command.action == Action::kInterfaces) {
        return ListInterfaces(command, out, err);
    }
    ExchangeOptions options;
    if (const int selected = SelectAddresses(command, &options, err); selected != kExitSuccess) {
        if (selected == kExitUsage) {
            err << "Try 'apctl interfaces'.\n";
        }
        return selected;
    }
    std::optional<Plan> plan;
    if (command.action == Action::kApply) {
        // The whole plan is checked before anything is sent.
        plan.emplace();
        if (!ReadPlanFile(command.planPath, &*plan, err)) {
            return kExitUsage;
        }
        if (command.dryRun) {
            PrintDryRun(command, *plan, out);
            return kExitSuccess;
        }
    }
    NetworkStartup();
    if (SocketsStarted() == 0) {
        err << "apctl: cannot open a UDP socket\n";
        return kExitFailed;
    }
    if ((command.action == Action::kWatch || command.action == Action::kApply) &&
        context.catchStopSignals) {
        context.catchStopSignals();
    }
    if (Discovers(command)) {
        SayWhenNoAddressIsUsable(options, err);
    }
    int status = kExitFailed;
    switch (command.action) {
        case Action::kDiscover:
            status = Discover(command, options, context, out, err);
            break;
        case Action::kConfigure:
            status = Configure(command, options, context, out, err);
            break;
        case Action::kReset:
            status = Reset(command, options, out, err);
            break;
        case Action::kApply:
            status = ApplyPlan(command, *plan, options, context, out, err);
            break;
        case Action::kWatch:
            status = Watch(command, options, context, out, err,
                           WatchHooks{context.timestamp, context.afterDiscovery});
            break;
        case Action::kInterfaces:
        case Action::kHelp:
            break;
    }
    NetworkCleanup();
    return status;
}

}  // namespace apctl
