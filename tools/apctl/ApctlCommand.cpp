#include "tools/apctl/ApctlCommand.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>

#include "config/ConfigExchange.h"

namespace apctl {

namespace {

constexpr char kSecondsForm[] = "(decimal digits with an optional fraction, such as 2.5)";

bool StartsWith(const std::string& text, const std::string& prefix) {
    return text.compare(0, prefix.size(), prefix) == 0;
}

// Which options a command takes.
struct Accepted {
    bool format = false;  // --json
    bool csv = false;     // --csv
    bool interfaces = false;
    bool parallel = false;
    bool verbose = false;
    bool verify = false;
    bool dryRun = false;
    bool interval = false;
    bool address = false;  // --dhcp, --fixed
    int positionals = 0;   // MAC or PLAN
};

Accepted AcceptedBy(Action action) {
    Accepted a;
    switch (action) {
        case Action::kDiscover:
            a.format = a.csv = a.interfaces = a.parallel = a.verbose = true;
            break;
        case Action::kConfigure:
            a.format = a.interfaces = a.verify = a.address = true;
            a.positionals = 1;
            break;
        case Action::kReset:
            a.interfaces = true;
            a.positionals = 1;
            break;
        case Action::kInterfaces:
            a.format = true;
            break;
        case Action::kApply:
            a.format = a.interfaces = a.parallel = a.verify = a.dryRun = true;
            a.positionals = 1;
            break;
        case Action::kWatch:
            a.format = a.interfaces = a.parallel = a.interval = true;
            break;
        case Action::kHelp:
            break;
    }
    return a;
}

bool ActionNamed(const std::string& verb, Action* action) {
    static const struct {
        const char* name;
        Action action;
    } kVerbs[] = {
        {"discover", Action::kDiscover}, {"configure", Action::kConfigure},
        {"reset", Action::kReset},       {"interfaces", Action::kInterfaces},
        {"apply", Action::kApply},       {"watch", Action::kWatch},
    };
    for (const auto& entry : kVerbs) {
        if (verb == entry.name) {
            *action = entry.action;
            return true;
        }
    }
    return false;
}

class Parser {
public:
    Parser(const std::string& verb, const std::vector<std::string>& rest, Command* command,
           std::string* error)
        : verb_(verb),
          rest_(rest),
          command_(command),
          error_(error),
          accepted_(AcceptedBy(command->action)) {}

    bool Parse() {
        for (next_ = 0; next_ < rest_.size();) {
            const std::string& argument = rest_[next_++];
            if (argument.size() > 1 && argument[0] == '-') {
                if (!Option(argument)) {
                    return false;
                }
            } else {
                positionals_.push_back(argument);
            }
        }
        return Positionals() && Complete();
    }

private:
    bool Fail(const std::string& message) {
        *error_ = message;
        return false;
    }

    bool Unknown(const std::string& argument) {
        return Fail("unknown option for " + verb_ + ": " + argument);
    }

    // The value of an option given as "--name VALUE" or "--name=VALUE".
    bool Value(const std::string& argument, const std::string& name, std::string* value) {
        if (argument.size() > name.size() && argument[name.size()] == '=') {
            *value = argument.substr(name.size() + 1);
            return true;
        }
        if (next_ >= rest_.size()) {
            return Fail(name + " needs a value");
        }
        *value = rest_[next_++];
        return true;
    }

    bool Option(const std::string& argument) {
        const std::string name = argument.substr(0, argument.find('='));
        const bool hasValue = name.size() != argument.size();
        if ((name == "--json" || name == "--csv") && !hasValue) {
            if (name == "--json" ? !accepted_.format : !accepted_.csv) {
                return Unknown(argument);
            }
            const OutputFormat format = name == "--json" ? OutputFormat::kJson : OutputFormat::kCsv;
            if (formatGiven_ && command_->format != format) {
                return Fail(verb_ + " takes at most one of --json and --csv");
            }
            formatGiven_ = true;
            command_->format = format;
            return true;
        }
        if (name == "--interface" || name == "-i") {
            if (!accepted_.interfaces) {
                return Unknown(argument);
            }
            std::string value;
            if (!Value(argument, name, &value)) {
                return false;
            }
            if (value.empty() || value[0] == '-') {
                return Fail(name + " needs an interface name, not '" + value + "'");
            }
            command_->interfaces.push_back(value);
            return true;
        }
        if (name == "--verify") {
            if (!accepted_.verify) {
                return Unknown(argument);
            }
            command_->verify = true;
            // The seconds come only after '=': a bare --verify must not swallow what follows.
            if (hasValue &&
                !ParseSeconds(argument.substr(name.size() + 1), &command_->verifySeconds)) {
                return Fail("--verify: not a number of seconds: '" +
                            argument.substr(name.size() + 1) + "' " + kSecondsForm);
            }
            return true;
        }
        if (name == "--interval") {
            if (!accepted_.interval) {
                return Unknown(argument);
            }
            std::string value;
            if (!Value(argument, name, &value)) {
                return false;
            }
            if (!ParseSeconds(value, &command_->intervalSeconds)) {
                return Fail("--interval: not a number of seconds: '" + value + "' " + kSecondsForm);
            }
            // Shorter pauses only load the networks, and one that rounds to nothing spins.
            if (command_->intervalSeconds < kShortestWatchInterval) {
                return Fail("--interval: '" + value + "' is below the shortest interval, 0.1 s");
            }
            return true;
        }
        if (hasValue) {
            return Unknown(argument);
        }
        if (name == "--parallel" && accepted_.parallel) {
            command_->parallel = true;
            return true;
        }
        if (name == "--verbose" && accepted_.verbose) {
            command_->verbose = true;
            return true;
        }
        if (name == "--dry-run" && accepted_.dryRun) {
            command_->dryRun = true;
            return true;
        }
        if ((name == "--dhcp" || name == "--fixed") && accepted_.address) {
            if (modeGiven_) {
                return Fail("configure takes one of --dhcp and --fixed, once: " + argument);
            }
            modeGiven_ = true;
            return name == "--dhcp" ? Dhcp() : Fixed();
        }
        return Unknown(argument);
    }

    bool Dhcp() {
        command_->dhcpClient = true;
        return true;
    }

    bool Fixed() {
        std::string* const targets[] = {&command_->ipAddress, &command_->subnetMask,
                                        &command_->gateway, &command_->dnsServer};
        const char* const names[] = {"IP address", "subnet mask", "gateway", "DNS server"};
        for (int i = 0; i < 4; ++i) {
            if (next_ >= rest_.size() || StartsWith(rest_[next_], "-")) {
                return Fail("--fixed needs four addresses: IP MASK GATEWAY DNS");
            }
            const std::string& text = rest_[next_++];
            std::uint32_t parsed = 0;
            if (!ParseDecimalDottedQuad(text.c_str(), &parsed)) {
                return Fail(std::string("malformed ") + names[i] + ": '" + text +
                            "' (four decimal numbers 0 to 255 joined by dots)");
            }
            if (targets[i] == &command_->subnetMask && !IsContiguousSubnetMask(parsed)) {
                return Fail(SubnetMaskError(text));
            }
            *targets[i] = text;
        }
        return true;
    }

    bool Positionals() {
        if (positionals_.size() < static_cast<std::size_t>(accepted_.positionals)) {
            return Fail(command_->action == Action::kApply
                            ? "apply needs a plan file (or - for standard input)"
                            : verb_ + " needs the access point's MAC address");
        }
        if (positionals_.size() > static_cast<std::size_t>(accepted_.positionals)) {
            const std::string& extra =
                positionals_[static_cast<std::size_t>(accepted_.positionals)];
            std::string message = "unexpected argument: " + extra;
            if (command_->action == Action::kReset) {
                message += " (reset takes only the MAC address)";
            }
            return Fail(message);
        }
        if (command_->action == Action::kApply) {
            command_->planPath = positionals_[0];
            return true;
        }
        if (accepted_.positionals == 1 && !NormalizeMac(positionals_[0], &command_->macText)) {
            return Fail("not a MAC address: '" + positionals_[0] +
                        "' (12 hexadecimal digits, or six pairs joined by ':' or '-')");
        }
        return true;
    }

    bool Complete() {
        if (command_->action == Action::kConfigure && !modeGiven_) {
            return Fail("configure needs --dhcp or --fixed IP MASK GATEWAY DNS");
        }
        return true;
    }

    const std::string& verb_;
    const std::vector<std::string>& rest_;
    Command* command_;
    std::string* error_;
    Accepted accepted_;
    std::size_t next_ = 0;
    std::vector<std::string> positionals_;
    bool formatGiven_ = false;
    bool modeGiven_ = false;
};

}  // namespace

bool ParseSeconds(const std::string& text, double* seconds) {
    // Plain decimal only: strtod alone would also take 0x10 as 16 and 1e3 as 1000, forms nobody
    // means by a number of seconds.
    std::size_t at = 0;
    const auto digits = [&] {
        const std::size_t first = at;
        while (at < text.size() && std::isdigit(static_cast<unsigned char>(text[at])) != 0) {
            ++at;
        }
        return at > first;
    };
    if (!digits()) {
        return false;
    }
    if (at < text.size() && text[at] == '.') {
        ++at;
        if (!digits()) {
            return false;
        }
    }
    if (at != text.size()) {
        return false;
    }
    const double value = std::strtod(text.c_str(), nullptr);
    if (!(value > 0) || value > kLongestSeconds) {
        return false;
    }
    *seconds = value;
    return true;
}

bool ParseCommandLine(const std::vector<std::string>& arguments, Command* command,
                      std::string* error) {
    *command = Command{};
    if (std::find(arguments.begin(), arguments.end(), "--help") != arguments.end() ||
        std::find(arguments.begin(), arguments.end(), "-h") != arguments.end()) {
        command->action = Action::kHelp;
        return true;
    }
    if (arguments.empty()) {
        *error = "no command given";
        return false;
    }
    const std::string& verb = arguments[0];
    if (!ActionNamed(verb, &command->action)) {
        *error = "unknown command: " + verb;
        return false;
    }
    const std::vector<std::string> rest(arguments.begin() + 1, arguments.end());
    return Parser(verb, rest, command, error).Parse();
}

std::string HelpText() {
    return "Usage: apctl COMMAND [OPTIONS]\n"
           "\n"
           "Finds the wireless access points on every local IPv4 network and changes their IP\n"
           "configuration, by UDP broadcast on port 34442.\n"
           "\n"
           "Commands:\n"
           "  discover [--json | --csv] [--parallel] [--verbose]\n"
           "      Runs one discovery (about 4 s per local network) and prints one record per\n"
           "      access point in name order: a table by default, a JSON array of objects, or\n"
           "      CSV with a header row.\n"
           "      --parallel  asks every network at the same time (about 4 s in all).\n"
           "      --verbose   tells on standard error, per network, what was sent, taken and\n"
           "                  ignored, and warns of what keeps replies away.\n"
           "  configure MAC --dhcp [--verify[=SECONDS]] [--json]\n"
           "  configure MAC --fixed IP MASK GATEWAY DNS [--verify[=SECONDS]] [--json]\n"
           "      Sends the access point with this MAC its new configuration, waits 3 s and\n"
           "      tells it to reset. Addresses are four decimal numbers joined by dots.\n"
           "      --verify    then discovers again every 2 s until the access point answers\n"
           "                  (from the fixed address, or from any address for DHCP), giving\n"
           "                  up after SECONDS (default 90).\n"
           "  reset MAC\n"
           "      Tells the access point with this MAC to reset.\n"
           "  interfaces [--json]\n"
           "      Lists every IPv4 address of every interface, and whether the exchanges use it\n"
           "      and why not.\n"
           "  apply PLAN [--dry-run] [--verify=SECONDS] [--parallel] [--json]\n"
           "      Re-addresses every access point of a CSV plan (header mac,mode,ip,mask,\n"
           "      gateway,dns; - for standard input). The whole plan is checked first: any\n"
           "      error exits 2 with nothing sent, and --dry-run stops there. Then one\n"
           "      discovery, and row after row: left unchanged when it already answers from\n"
           "      its fixed address, else configured, reset and verified (within SECONDS,\n"
           "      default 90). Progress on standard error, a summary on standard output;\n"
           "      exit 0 when every row is changed or unchanged. SIGINT stops after a row.\n"
           "  watch [--interval SECONDS] [--parallel] [--json]\n"
           "      Discovers again and again, SECONDS (default 10, at least 0.1) after each\n"
           "      discovery ends, and prints each change with its UTC time: + appeared, - gone\n"
           "      (missed by two discoveries in a row), ~ a field changed, old -> new; --json\n"
           "      prints one object per line. SIGINT or SIGTERM ends it (exit 0).\n"
           "\n"
           "Options for every command that sends:\n"
           "  -i, --interface NAME   uses only this interface's addresses (may be repeated).\n"
           "\n"
           "MAC is 12 hexadecimal digits (either case) or six pairs joined by ':' or '-'.\n"
           "SECONDS is a decimal number such as 30 or 2.5, at most 86400.\n"
           "\n"
           "Exit status: 0 success, 1 the operation failed (no acknowledgement, a socket step\n"
           "failed, output could not be written), 2 usage error (nothing was sent).\n";
}

}  // namespace apctl
