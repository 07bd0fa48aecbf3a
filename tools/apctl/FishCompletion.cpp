#include <string>

#include "tools/apctl/ShellCompletion.h"
#include "tools/apctl/ShellCompletionParts.h"

namespace apctl {

namespace {

using namespace completion;

std::string FishQuoted(std::string_view text) {
    std::string quoted = "'";
    for (const char c : text) {
        if (c == '\'' || c == '\\') {
            quoted.push_back('\\');
        }
        quoted.push_back(c);
    }
    return quoted + "'";
}

// Run by the program's own name as typed (when it is an apctl: `sudo apctl` leaves sudo first on
// the line), so that a build's apctl offers its own view.
constexpr char kFishInterfaces[] =
    "    set -l program (commandline -opc)[1]\n"
    "    set program (string replace -r '^~/' \"$HOME/\" -- $program)\n"
    "    string match -qr -- '(^|/)apctl$' $program; or set program apctl\n"
    "    command -q -- $program; or set program apctl\n"
    "    command -q -- $program; or return\n"
    "    command $program interfaces --json 2>/dev/null | string match -rg -- $pattern |\n"
    "        sort -u | string replace -r '$' '\\tnetwork interface'\n"
    "end\n";

std::string FishInterfaces() {
    return "function __apctl_interfaces\n"
           "    set -l pattern " +
           FishQuoted(Cat({kInterfaceNamePattern, ".*(?:", SelectableAddressPattern(), ")"})) +
           "\n" + kFishInterfaces;
}

// The commands that take the option, after __fish_seen_subcommand_from; empty when none does.
std::string TakenBy(const OptionSpec& option) {
    std::string commands;
    for (const CommandSpec& command : Commands()) {
        if (option.commands.Has(command.action)) {
            commands.append(" ").append(command.name);
        }
    }
    return commands;
}

std::string FishOption(const OptionSpec& option, const std::string& commands) {
    std::string line = Cat({"complete -c apctl -n '__fish_seen_subcommand_from", commands, "'"});
    if (!option.shortName.empty()) {
        line += Cat({" -s ", Bare(option.shortName)});
    }
    line += Cat({" -l ", Bare(option.longName)});
    // A value after '=' alone is no word of its own for fish to complete.
    if (option.form == ValueForm::kSeparate || option.form == ValueForm::kFour) {
        switch (option.kind) {
            case ValueKind::kInterfaceName:
                line += " -x -a '(__apctl_interfaces)'";
                break;
            case ValueKind::kFile:
                line += " -r -F";
                break;
            default:
                line += " -x";
                break;
        }
    }
    return line + " -d " + FishQuoted(option.description) + "\n";
}

}  // namespace

std::string FishCompletion() {
    std::string out = Provenance("fish") + "\n" + FishInterfaces() +
                      "\n"
                      "# Nothing is a file unless said so below.\n"
                      "complete -c apctl -f\n"
                      "complete -c apctl -n __fish_use_subcommand -s h -l help -d " +
                      FishQuoted(kHelpDescription) + "\n";
    for (const CommandSpec& command : Commands()) {
        out += Cat({"complete -c apctl -n __fish_use_subcommand -a ", command.name, " -d ",
                    FishQuoted(Summary(command.description)), "\n"});
    }
    out += "complete -c apctl -n 'not __fish_use_subcommand' -s h -l help -d " +
           FishQuoted(kHelpDescription) + "\n";
    for (const OptionSpec& option : Options()) {
        if (const std::string commands = TakenBy(option); !commands.empty()) {
            out += FishOption(option, commands);
        }
    }
    for (const CommandSpec& command : Commands()) {
        if (command.operandKind == ValueKind::kFile) {
            out +=
                Cat({"complete -c apctl -n '__fish_seen_subcommand_from ", command.name, "' -F\n"});
        }
    }
    return out;
}

}  // namespace apctl
