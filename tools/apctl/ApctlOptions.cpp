#include "tools/apctl/ApctlOptions.h"

#include <algorithm>
#include <string>

namespace apctl {

namespace {

// Every command but interfaces asks the networks.
constexpr CommandSet kSending = {Action::kDiscover, Action::kConfigure, Action::kReset,
                                 Action::kApply, Action::kWatch};

constexpr OptionSpec kOptions[] = {
    {.id = OptionId::kJson,
     .longName = "--json",
     .commands = {Action::kDiscover, Action::kConfigure, Action::kInterfaces, Action::kApply,
                  Action::kWatch, Action::kDiff},
     .description = "prints JSON"},
    {.id = OptionId::kCsv,
     .longName = "--csv",
     .commands = {Action::kDiscover},
     .description = "prints CSV with a header row"},
    {.id = OptionId::kParallel,
     .longName = "--parallel",
     .commands = {Action::kDiscover, Action::kConfigure, Action::kApply, Action::kWatch},
     .description = "asks every network at the same time"},
    {.id = OptionId::kVerbose,
     .longName = "--verbose",
     .commands = {Action::kDiscover},
     .description = "tells on standard error what was sent, taken and ignored per network"},
    {.id = OptionId::kDhcp,
     .longName = "--dhcp",
     .commands = {Action::kConfigure},
     .description = "makes the access point a DHCP client"},
    {.id = OptionId::kFixed,
     .longName = "--fixed",
     .form = ValueForm::kFour,
     .kind = ValueKind::kAddress,
     .valueName = "IP MASK GATEWAY DNS",
     .commands = {Action::kConfigure},
     .description = "gives the access point a fixed address, mask, gateway and DNS server"},
    {.id = OptionId::kVerify,
     .longName = "--verify",
     .form = ValueForm::kAssignedOnly,
     .kind = ValueKind::kSeconds,
     .valueName = "SECONDS",
     .commands = {Action::kConfigure, Action::kApply},
     .valueWrittenIn = {Action::kApply},
     .description = "waits until the access point answers at its new address"},
    {.id = OptionId::kDryRun,
     .longName = "--dry-run",
     .commands = {Action::kApply},
     .description = "checks the plan and sends nothing"},
    {.id = OptionId::kInterval,
     .longName = "--interval",
     .form = ValueForm::kSeparate,
     .kind = ValueKind::kSeconds,
     .valueName = "SECONDS",
     .commands = {Action::kWatch},
     .description = "pauses this long after each discovery"},
    {.id = OptionId::kInterface,
     .longName = "--interface",
     .shortName = "-i",
     .form = ValueForm::kSeparate,
     .kind = ValueKind::kInterfaceName,
     .valueName = "NAME",
     .commands = kSending,
     .description = "uses only this interface's addresses (may be repeated)"},
    {.id = OptionId::kTextfile,
     .longName = "--textfile",
     .form = ValueForm::kSeparate,
     .kind = ValueKind::kFile,
     .valueName = "PATH",
     .commands = {Action::kWatch},
     .description = "writes Prometheus metrics to this file after each discovery"},
    {.id = OptionId::kCheck,
     .longName = "--check",
     .commands = {Action::kApply},
     .description = "discovers once and tells what apply would do, sending nothing else"},
    {.id = OptionId::kExec,
     .longName = "--exec",
     .form = ValueForm::kSeparate,
     .kind = ValueKind::kCommand,
     .valueName = "CMD",
     .commands = {Action::kWatch},
     .description = "runs CMD for each change, the change as JSON on its standard input"},
    {.id = OptionId::kForget,
     .longName = "--forget",
     .form = ValueForm::kSeparate,
     .kind = ValueKind::kSeconds,
     .valueName = "SECONDS",
     .commands = {Action::kWatch},
     .description = "keeps a gone access point in the metrics this long (3600)"},
    {.id = OptionId::kJobs,
     .longName = "--jobs",
     .form = ValueForm::kSeparate,
     .valueName = "N",
     .commands = {Action::kApply},
     .description = "carries up to N rows (1 to 256) out at the same time"},
};

constexpr std::string_view kDiscoverSynopses[] = {
    "discover [--json | --csv] [--parallel] [--verbose]"};
constexpr OptionNote kDiscoverNotes[] = {
    {OptionId::kParallel, "asks every network at the same time (about 4 s in all)."},
    {OptionId::kVerbose,
     "tells on standard error, per network, what was sent, taken and\n"
     "ignored, and warns of what keeps replies away."},
};
constexpr std::string_view kConfigureSynopses[] = {
    "configure MAC --dhcp [--verify[=SECONDS]] [--parallel] [--json]",
    "configure MAC --fixed IP MASK GATEWAY DNS [--verify[=SECONDS]] [--parallel] [--json]"};
constexpr OptionNote kConfigureNotes[] = {
    {OptionId::kVerify,
     "then discovers again every 2 s until the access point answers\n"
     "(from the fixed address, or from any address for DHCP), giving\n"
     "up after SECONDS (default 90)."},
    {OptionId::kParallel,
     "sends the configuration to every network at once and the reset\n"
     "first where it was acknowledged."},
};
constexpr std::string_view kResetSynopses[] = {"reset MAC"};
constexpr std::string_view kInterfacesSynopses[] = {"interfaces [--json]"};
constexpr std::string_view kApplySynopses[] = {
    "apply PLAN [--dry-run] [--verify=SECONDS] [--parallel] [--jobs N] [--json]",
    "apply PLAN --check [--parallel] [--json]"};
constexpr OptionNote kApplyNotes[] = {
    {OptionId::kCheck,
     "discovers once and predicts each row: unchanged, would change,\n"
     "not seen (no access point with its MAC answered) or conflict;\n"
     "nothing else is sent, and it exits 0 unless the discovery failed."},
    {OptionId::kJobs,
     "carries up to N rows (1 to 256, default 1) out at the same\n"
     "time: their configurations, pauses and resets overlap, and one\n"
     "discovery every 2 s verifies every row waiting to answer. A row\n"
     "is told when its outcome is known; the summary keeps the plan's\n"
     "order. The open-file soft limit is raised as needed, or N\n"
     "lowered to fit it (said on standard error)."},
};
constexpr std::string_view kWatchSynopses[] = {
    "watch [--interval SECONDS] [--parallel] [--json] [--exec CMD]",
    "watch --textfile PATH [--forget SECONDS] [the options above]"};
constexpr OptionNote kWatchNotes[] = {
    {OptionId::kTextfile,
     "after each discovery replaces PATH (atomically) with metrics in\n"
     "Prometheus's text format, for node_exporter's textfile collector;\n"
     "its folder must exist. A failed write is a warning, retried."},
    {OptionId::kForget,
     "a gone access point stays in the metrics at up 0 this long after\n"
     "it was reported gone (default 3600 s, so that an alert on it can\n"
     "hold through its for: clause), then leaves the file."},
    {OptionId::kExec,
     "runs CMD for each change, one at a time: the change on its\n"
     "standard input as --json prints it; APCTL_CHANGE (appeared,\n"
     "gone, changed), APCTL_MAC and APCTL_ADDRESS (the new one after\n"
     "a change) in its environment; its output to standard error.\n"
     "CMD is split at spaces, '...' or \"...\" keeping a word whole;\n"
     "no shell unless CMD is sh -c '...'. A hook still running after\n"
     "10 s is killed; that, and a hook that fails, is said on\n"
     "standard error."},
};

constexpr std::string_view kDiffSynopses[] = {"diff OLD NEW [--json]"};

constexpr char kNeedsMac[] = "needs the access point's MAC address";

constexpr CommandSpec kCommands[] = {
    {.action = Action::kDiscover,
     .name = "discover",
     .synopses = kDiscoverSynopses,
     .description = "Runs one discovery (about 4 s per local network) and prints one record per\n"
                    "access point in name order: a table by default, a JSON array of objects, or\n"
                    "CSV with a header row.",
     .notes = kDiscoverNotes},
    {.action = Action::kConfigure,
     .name = "configure",
     .operand = "MAC",
     .operandKind = ValueKind::kMacAddress,
     .missingOperand = kNeedsMac,
     .synopses = kConfigureSynopses,
     .description = "Sends the access point with this MAC its new configuration, waits 3 s and\n"
                    "tells it to reset. Addresses are four decimal numbers joined by dots.",
     .notes = kConfigureNotes},
    {.action = Action::kReset,
     .name = "reset",
     .operand = "MAC",
     .operandKind = ValueKind::kMacAddress,
     .missingOperand = kNeedsMac,
     .extraHint = " (reset takes only the MAC address)",
     .synopses = kResetSynopses,
     .description = "Tells the access point with this MAC to reset."},
    {.action = Action::kInterfaces,
     .name = "interfaces",
     .synopses = kInterfacesSynopses,
     .description =
         "Lists every IPv4 address of every interface, and whether the exchanges use it\n"
         "and why not."},
    {.action = Action::kApply,
     .name = "apply",
     .operand = "PLAN",
     .operandKind = ValueKind::kFile,
     .missingOperand = "needs a plan file (or - for standard input)",
     .synopses = kApplySynopses,
     .description = "Re-addresses every access point of a CSV plan (header mac,mode,ip,mask,\n"
                    "gateway,dns; - for standard input). The whole plan is checked first: any\n"
                    "error exits 2 with nothing sent, and --dry-run stops there. Then one\n"
                    "discovery, and row after row: left unchanged when it already answers from\n"
                    "its fixed address, a conflict (not sent) when that address is where an\n"
                    "access point outside the plan answers, else configured, reset and\n"
                    "verified (within SECONDS, default 90), each request first on the network\n"
                    "where the access point answered. Progress on standard error, a summary\n"
                    "on standard output; exit 0 when every row is changed or unchanged.\n"
                    "SIGINT stops after a row: no new row starts, every row begun is reset.",
     .notes = kApplyNotes},
    {.action = Action::kWatch,
     .name = "watch",
     .synopses = kWatchSynopses,
     .description = "Discovers again and again, SECONDS (default 10, at least 0.1) after each\n"
                    "discovery ends, and prints each change with its UTC time: + appeared, - gone\n"
                    "(missed by two discoveries in a row), ~ a field changed, old -> new; --json\n"
                    "prints one object per line. SIGINT or SIGTERM ends it (exit 0).",
     .notes = kWatchNotes},
    {.action = Action::kDiff,
     .name = "diff",
     .operand = "OLD NEW",
     .operandKind = ValueKind::kFile,
     .missingOperand = "needs two saved discover --json files: OLD NEW",
     .synopses = kDiffSynopses,
     .description = "Compares two files saved from discover --json and prints watch's change\n"
                    "lines, without a time, in MAC order: + only in NEW, - only in OLD, ~ a\n"
                    "field changed; --json prints one object per line. Exit 0 when nothing\n"
                    "changed, 1 when something did, 2 when a file is not such a discovery.",
     .operandCount = 2},
};

// Each line of `text` after `indent`; the first after `first` instead when that is given.
void AppendIndented(std::string* out, std::string_view text, std::string_view indent,
                    std::string_view first = {}) {
    bool firstLine = true;
    while (!text.empty()) {
        const std::size_t end = std::min(text.find('\n'), text.size());
        *out += firstLine && !first.empty() ? first : indent;
        *out += text.substr(0, end);
        *out += '\n';
        text.remove_prefix(std::min(end + 1, text.size()));
        firstLine = false;
    }
}

std::string Padded(std::string text, std::size_t width) {
    text.resize(std::max(text.size(), width), ' ');
    return text;
}

void AppendCommand(std::string* out, const CommandSpec& command) {
    constexpr std::size_t kNoteNameWidth = 12;
    const std::string indent(6, ' ');
    for (const std::string_view synopsis : command.synopses) {
        *out += "  ";
        *out += synopsis;
        *out += '\n';
    }
    AppendIndented(out, command.description, indent);
    for (const OptionNote& note : command.notes) {
        const std::string name(OptionWithId(note.option).longName);
        AppendIndented(out, note.text, indent + std::string(kNoteNameWidth, ' '),
                       indent + Padded(name, kNoteNameWidth));
    }
}

void AppendSendingOptions(std::string* out) {
    constexpr std::size_t kNameWidth = 23;
    *out += "Options for every command that sends:\n";
    for (const OptionSpec& option : kOptions) {
        if (!TakenByEverySendingCommand(option)) {
            continue;
        }
        std::string names;
        if (!option.shortName.empty()) {
            names += std::string(option.shortName) + ", ";
        }
        names += std::string(option.longName) + " " + std::string(option.valueName);
        *out += "  " + Padded(names, kNameWidth) + std::string(option.description) + ".\n";
    }
}

}  // namespace

std::span<const CommandSpec> Commands() {
    return kCommands;
}

std::span<const OptionSpec> Options() {
    return kOptions;
}

const CommandSpec* CommandNamed(std::string_view name) {
    for (const CommandSpec& command : kCommands) {
        if (command.name == name) {
            return &command;
        }
    }
    return nullptr;
}

const OptionSpec* OptionNamed(std::string_view name) {
    for (const OptionSpec& option : kOptions) {
        if (option.longName == name || (!option.shortName.empty() && option.shortName == name)) {
            return &option;
        }
    }
    return nullptr;
}

const OptionSpec& OptionWithId(OptionId id) {
    return *std::find_if(std::begin(kOptions), std::end(kOptions),
                         [id](const OptionSpec& option) { return option.id == id; });
}

bool TakenByEverySendingCommand(const OptionSpec& option) {
    return option.commands == kSending;
}

std::string HelpText() {
    std::string text =
        "Usage: apctl COMMAND [OPTIONS]\n"
        "\n"
        "Finds the wireless access points on every local IPv4 network and changes their IP\n"
        "configuration, by UDP broadcast on port 34442.\n"
        "\n"
        "Commands:\n";
    for (const CommandSpec& command : kCommands) {
        AppendCommand(&text, command);
    }
    text += "\n";
    AppendSendingOptions(&text);
    text +=
        "\n"
        "MAC is 12 hexadecimal digits (either case) or six pairs joined by ':' or '-'.\n"
        "SECONDS is a decimal number such as 30 or 2.5, at most 86400.\n"
        "\n"
        "Exit status: 0 success, 1 the operation failed (no acknowledgement, a socket step\n"
        "failed, output could not be written), 2 usage error (nothing was sent).\n";
    return text;
}

}  // namespace apctl
