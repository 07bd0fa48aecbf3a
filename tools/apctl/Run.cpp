#include "tools/apctl/ApctlRun.h"

#include <optional>
#include <vector>

#include "discovery/Exchange.h"
#include "discovery/NetworkStartup.h"
#include "tools/apctl/ApctlNetworks.h"
#include "tools/apctl/Apply.h"
#include "tools/apctl/Commands.h"
#include "tools/apctl/Diff.h"
#include "tools/apctl/Watch.h"

namespace apctl {

namespace {

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

// The commands whose waits a stop signal should end cleanly: a stop never cuts a configuration
// and its reset apart, so these always finish what they began.
bool CatchesStopSignals(const Command& command) {
    return command.action == Action::kWatch || command.action == Action::kApply ||
           (command.action == Action::kConfigure && command.verify);
}

// The commands that send, once the sockets are up.
int RunSending(const Command& command, const ExchangeOptions& options,
               const fleet::Session& session, const std::optional<Plan>& plan,
               const RunContext& context, std::ostream& out, std::ostream& err) {
    switch (command.action) {
        case Action::kDiscover:
            return Discover(command, session, context, out, err);
        case Action::kConfigure:
            return Configure(command, session, out, err);
        case Action::kReset:
            return Reset(command, session, out, err);
        case Action::kApply:
            if (command.check) {
                return CheckPlan(command, *plan, session, out, err);
            }
            return ApplyPlan(command, *plan, session, out, err);
        case Action::kWatch:
            return Watch(command,
                         fleet::Session{options.addresses, options.useGivenAddresses,
                                        command.parallel, context.stop},
                         out, err);
        case Action::kInterfaces:
        case Action::kDiff:
        case Action::kHelp:
            break;
    }
    return kExitFailed;
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
    if (command.action == Action::kDiff) {
        return Diff(command, out, err);
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
    if (CatchesStopSignals(command) && context.catchStopSignals) {
        context.catchStopSignals();
    }
    // A watch says it itself, with its time, each time it comes to have none.
    if (Discovers(command) && command.action != Action::kWatch) {
        SayWhenNoAddressIsUsable(options, err);
    }
    const fleet::Session session = SessionFor(command, options, context);
    const int status = RunSending(command, options, session, plan, context, out, err);
    NetworkCleanup();
    return status;
}

}  // namespace apctl
