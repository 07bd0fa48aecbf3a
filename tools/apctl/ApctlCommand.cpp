#include "tools/apctl/ApctlCommand.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>

#include "config/ConfigExchange.h"
#include "tools/apctl/ApctlOptions.h"
#include "tools/apctl/WatchHook.h"

namespace apctl {

namespace {

constexpr char kSecondsForm[] = "(decimal digits with an optional fraction, such as 2.5)";

bool StartsWith(const std::string& text, const std::string& prefix) {
    return text.compare(0, prefix.size(), prefix) == 0;
}

// An argument that starts with '-' (and is more than "-"), split at its first '='.
struct OptionArgument {
    const std::string& text;  // as given
    std::string name;         // before the '='
    bool assigned;            // "--name=VALUE"
    std::string Assigned() const { return text.substr(name.size() + 1); }
};

class Parser {
public:
    Parser(const CommandSpec& spec, const std::vector<std::string>& rest, Command* command,
           std::string* error)
        : spec_(spec), verb_(spec.name), rest_(rest), command_(command), error_(error) {}

    bool Parse() {
        for (next_ = 0; next_ < rest_.size();) {
            const std::string& argument = rest_[next_++];
            if (argument.size() > 1 && argument[0] == '-') {
                const std::string name = argument.substr(0, argument.find('='));
                if (!Option({argument, name, name.size() != argument.size()})) {
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

    bool Option(const OptionArgument& argument) {
        const OptionSpec* option = OptionNamed(argument.name);
        if (option == nullptr || !option->commands.Has(spec_.action)) {
            return Unknown(argument.text);
        }
        switch (option->form) {
            case ValueForm::kNone:
            case ValueForm::kFour:
                return argument.assigned ? Unknown(argument.text) : Take(*option, argument, {});
            case ValueForm::kAssignedOnly:
                return Take(*option, argument,
                            argument.assigned ? argument.Assigned() : std::string());
            case ValueForm::kSeparate:
                if (argument.assigned) {
                    return Take(*option, argument, argument.Assigned());
                }
                if (next_ >= rest_.size()) {
                    return Fail(argument.name + " needs a value");
                }
                return Take(*option, argument, rest_[next_++]);
        }
        return Unknown(argument.text);
    }

    // Checks a value by its kind. A bare --verify has none to check: its seconds stay as they are.
    bool Valid(const OptionSpec& option, const OptionArgument& argument, const std::string& value,
               double* seconds) {
        switch (option.kind) {
            case ValueKind::kInterfaceName:
                if (value.empty() || value[0] == '-') {
                    return Fail(argument.name + " needs an interface name, not '" + value + "'");
                }
                return true;
            case ValueKind::kSeconds:
                if ((argument.assigned || option.form == ValueForm::kSeparate) &&
                    !ParseSeconds(value, seconds)) {
                    return Fail(argument.name + ": not a number of seconds: '" + value + "' " +
                                kSecondsForm);
                }
                return true;
            default:
                return true;
        }
    }

    bool Take(const OptionSpec& option, const OptionArgument& argument, const std::string& value) {
        double seconds = 0;
        if (!Valid(option, argument, value, &seconds)) {
            return false;
        }
        switch (option.id) {
            case OptionId::kJson:
                return Format(OutputFormat::kJson);
            case OptionId::kCsv:
                return Format(OutputFormat::kCsv);
            case OptionId::kParallel:
                command_->parallel = true;
                return true;
            case OptionId::kVerbose:
                command_->verbose = true;
                return true;
            case OptionId::kDryRun:
                command_->dryRun = true;
                return true;
            case OptionId::kCheck:
                command_->check = true;
                return true;
            case OptionId::kDhcp:
            case OptionId::kFixed:
                return Mode(option, argument.text);
            case OptionId::kVerify:
                command_->verify = true;
                if (argument.assigned) {
                    command_->verifySeconds = seconds;
                }
                return true;
            case OptionId::kInterval:
                return Interval(value, seconds);
            case OptionId::kForget:
                command_->forgetSeconds = seconds;
                return true;
            case OptionId::kInterface:
                command_->interfaces.push_back(value);
                return true;
            case OptionId::kTextfile:
                if (value.empty() || value.back() == '/') {
                    return Fail(argument.name + " needs a file name, not '" + value + "'");
                }
                command_->textfilePath = value;
                return true;
            case OptionId::kExec:
                return SplitHookCommand(value, &command_->hookCommand, error_);
            case OptionId::kJobs:
                return Jobs(argument, value);
        }
        return Unknown(argument.text);
    }

    bool Format(OutputFormat format) {
        if (formatGiven_ && command_->format != format) {
            return Fail(verb_ + " takes at most one of --json and --csv");
        }
        formatGiven_ = true;
        command_->format = format;
        return true;
    }

    bool Jobs(const OptionArgument& argument, const std::string& value) {
        int jobs = 0;
        const bool digits = !value.empty() && value.size() <= 3 &&
                            value.find_first_not_of("0123456789") == std::string::npos;
        if (digits) {
            jobs = std::stoi(value);
        }
        if (jobs < 1 || jobs > kMostApplyJobs) {
            return Fail(argument.name + ": not a number of jobs from 1 to 256: '" + value + "'");
        }
        command_->jobs = jobs;
        return true;
    }

    bool Interval(const std::string& value, double seconds) {
        // Shorter pauses only load the networks, and one that rounds to nothing spins.
        if (seconds < kShortestWatchInterval) {
            return Fail("--interval: '" + value + "' is below the shortest interval, 0.1 s");
        }
        command_->intervalSeconds = seconds;
        return true;
    }

    bool Mode(const OptionSpec& option, const std::string& argument) {
        if (modeGiven_) {
            return Fail("configure takes one of --dhcp and --fixed, once: " + argument);
        }
        modeGiven_ = true;
        return option.id == OptionId::kDhcp ? Dhcp() : Fixed();
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
        const std::size_t wanted = spec_.operand.empty() ? 0 : spec_.operandCount;
        if (positionals_.size() < wanted) {
            return Fail(verb_ + " " + std::string(spec_.missingOperand));
        }
        if (positionals_.size() > wanted) {
            return Fail("unexpected argument: " + positionals_[wanted] +
                        std::string(spec_.extraHint));
        }
        if (wanted == 0) {
            return true;
        }
        if (spec_.action == Action::kDiff) {
            command_->oldPath = positionals_[0];
            command_->newPath = positionals_[1];
            return true;
        }
        if (spec_.operandKind == ValueKind::kFile) {
            command_->planPath = positionals_[0];
            return true;
        }
        if (!NormalizeMac(positionals_[0], &command_->macText)) {
            return Fail("not a MAC address: '" + positionals_[0] +
                        "' (12 hexadecimal digits, or six pairs joined by ':' or '-')");
        }
        return true;
    }

    bool Complete() {
        if (command_->action == Action::kConfigure && !modeGiven_) {
            return Fail("configure needs --dhcp or --fixed IP MASK GATEWAY DNS");
        }
        // A check sends no row, so there is nothing to verify, and a dry run sends nothing at all.
        if (command_->check && (command_->dryRun || command_->verify)) {
            return Fail(std::string("apply --check cannot be combined with ") +
                        (command_->dryRun ? "--dry-run" : "--verify"));
        }
        return true;
    }

    const CommandSpec& spec_;
    const std::string verb_;
    const std::vector<std::string>& rest_;
    Command* command_;
    std::string* error_;
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
    const CommandSpec* spec = CommandNamed(arguments[0]);
    if (spec == nullptr) {
        *error = "unknown command: " + arguments[0];
        return false;
    }
    command->action = spec->action;
    const std::vector<std::string> rest(arguments.begin() + 1, arguments.end());
    return Parser(*spec, rest, command, error).Parse();
}

}  // namespace apctl
