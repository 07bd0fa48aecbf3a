#include "tools/apctl/ShellCompletion.h"

#include <cctype>
#include <sstream>

#include "discovery/LocalAddresses.h"
#include "tools/apctl/ApctlNetworks.h"
#include "tools/apctl/ShellCompletionParts.h"

namespace apctl {

namespace completion {

std::string Provenance(std::string_view shell) {
    return Cat({"# ", shell,
                " completion for apctl, written at build time from apctl's table of commands and\n"
                "# options (tools/apctl/ApctlOptions.cpp): change the table, not this file.\n"});
}

std::string SingleQuoted(std::string_view text) {
    std::string quoted = "'";
    for (const char c : text) {
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return quoted + "'";
}

std::string Cat(std::initializer_list<std::string_view> parts) {
    std::string text;
    for (const std::string_view part : parts) {
        text.append(part);
    }
    return text;
}

namespace {

// The description without what is in parentheses, on one line.
std::string Unparenthesized(std::string_view description) {
    std::string text;
    int depth = 0;
    for (const char c : description) {
        if (c == '(') {
            ++depth;
        } else if (c == ')') {
            depth -= depth > 0 ? 1 : 0;
        } else if (depth == 0) {
            text.push_back(c == '\n' ? ' ' : c);
        }
    }
    return text;
}

// A regular expression that matches `text` alone.
std::string Literal(std::string_view text) {
    std::string pattern;
    for (const char c : text) {
        if (std::isalnum(static_cast<unsigned char>(c)) == 0 && c != ' ') {
            pattern.push_back('\\');
        }
        pattern.push_back(c);
    }
    return pattern;
}

}  // namespace

std::string Summary(std::string_view description) {
    const std::string text = Unparenthesized(description);
    std::string summary;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const bool ends = text[i] == '.' || text[i] == ':' || text[i] == ';';
        if (ends && (i + 1 == text.size() || text[i + 1] == ' ')) {
            break;
        }
        // A parenthesis removed leaves two blanks, or a blank before a comma.
        if (text[i] == ' ' && (summary.empty() || summary.back() == ' ' ||
                               (i + 1 < text.size() && text[i + 1] == ','))) {
            continue;
        }
        summary.push_back(text[i]);
    }
    while (!summary.empty() && summary.back() == ' ') {
        summary.pop_back();
    }
    if (!summary.empty()) {
        summary[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(summary[0])));
    }
    return summary;
}

std::vector<const OptionSpec*> OptionsOf(const CommandSpec& command) {
    std::vector<const OptionSpec*> options;
    for (const OptionSpec& option : Options()) {
        if (option.commands.Has(command.action)) {
            options.push_back(&option);
        }
    }
    return options;
}

std::string_view Bare(std::string_view name) {
    while (!name.empty() && name.front() == '-') {
        name.remove_prefix(1);
    }
    return name;
}

// `interfaces --json` writes "usable": true for an address the exchanges use, and the reason
// for one they do not.
std::string SelectableAddressPattern() {
    std::string pattern;
    for (const AddressUse use : kSelectableUses) {
        pattern += pattern.empty() ? "" : "|";
        pattern += use == AddressUse::kUsable
                       ? std::string(R"("usable": true)")
                       : Cat({R"("reason": ")", Literal(AddressUseText(use)), "\""});
    }
    return pattern;
}

}  // namespace completion

namespace {

using namespace completion;

// Text for _arguments' [explanation] or :message: fields, where these would end the field.
std::string ZshField(std::string_view text) {
    std::string escaped;
    for (const char c : text) {
        if (c == '\\' || c == ']' || c == '[' || c == ':') {
            escaped.push_back('\\');
        }
        escaped.push_back(c);
    }
    return escaped;
}

// ":message:action" for one value of this kind.
std::string ZshValue(ValueKind kind, std::string_view valueName) {
    const std::string name(valueName);
    switch (kind) {
        case ValueKind::kInterfaceName:
            return ":network interface:_apctl_interfaces";
        case ValueKind::kFile:
            return Cat({":", ZshField(name), ":_files"});
        case ValueKind::kSeconds:
            return Cat({":", ZshField(name + " (a number such as 30 or 2.5)"), ": "});
        case ValueKind::kMacAddress:
            return Cat({":",
                        ZshField(name + " (12 hexadecimal digits, or six pairs joined by : or -)"),
                        ": "});
        default:
            return Cat({":", ZshField(name.empty() ? "value" : name), ": "});
    }
}

// The option's value specs, and what follows its long name: "=" for --name VALUE or
// --name=VALUE, "=-" for a value only after the '='. `suffix` comes empty and is appended to:
// GCC 12 at -O3 takes a literal assigned over a string for an overlapping copy (-Wrestrict).
std::string ZshOptionValue(const OptionSpec& option, const CommandSpec& command,
                           std::string* suffix) {
    switch (option.form) {
        case ValueForm::kNone:
            return {};
        case ValueForm::kSeparate:
            suffix->append("=");
            return ZshValue(option.kind, option.valueName);
        case ValueForm::kAssignedOnly: {
            suffix->append("=-");
            const std::string value = ZshValue(option.kind, option.valueName);
            return option.valueWrittenIn.Has(command.action) ? value : Cat({":", value});
        }
        case ValueForm::kFour: {
            std::istringstream names{std::string(option.valueName)};
            std::string value;
            for (std::string name; names >> name;) {
                value += ZshValue(option.kind, name);
            }
            return value;
        }
    }
    return {};
}

// One _arguments spec (two words where the option has a short name) for an option.
std::string ZshOptionSpec(const OptionSpec& option, const CommandSpec& command) {
    std::string suffix;
    const std::string value = ZshOptionValue(option, command, &suffix);
    const std::string description = Cat({"[", ZshField(option.description), "]"});
    // An interface is named once for each network that is to be asked.
    const bool repeated = option.kind == ValueKind::kInterfaceName;
    const std::string longName = std::string(option.longName) + suffix;
    if (option.shortName.empty()) {
        return SingleQuoted((repeated ? "*" : "") + longName + description + value);
    }
    const std::string exclusion =
        repeated ? std::string(1, '*') : Cat({"(", option.shortName, " ", option.longName, ")"});
    return SingleQuoted(exclusion) + "{" + std::string(option.shortName) + "," + longName + "}" +
           SingleQuoted(description + value);
}

std::string ZshHelpSpec() {
    return SingleQuoted("(- *)") + "{-h,--help}" +
           SingleQuoted(std::string("[") + kHelpDescription + "]");
}

// Run by the program's own name as typed (when it is an apctl), so that a build's apctl offers
// its own view; the completion function runs after _arguments has shifted the command line,
// hence the copy.
constexpr char kZshInterfaces[] =
    "  [[ $program == '~/'* ]] && program=$HOME/${program#'~/'}\n"
    "  [[ ${program:t} == apctl ]] || program=apctl\n"
    "  (( $+commands[$program] )) || [[ -x $program ]] || program=apctl\n"
    "  for line in ${(f)\"$(command $program interfaces --json 2>/dev/null)\"}; do\n"
    "    [[ $line =~ $selectable ]] || continue\n"
    "    [[ $line =~ $named ]] && names+=($match[1])\n"
    "  done\n"
    "  _wanted interfaces expl 'network interface' compadd - ${(u)names}\n"
    "}\n";

std::string ZshInterfaces() {
    return "(( $+functions[_apctl_interfaces] )) ||\n"
           "_apctl_interfaces() {\n"
           "  local -a names expl\n"
           "  local line program=${_apctl_program:-apctl}\n"
           "  local selectable=" +
           SingleQuoted(SelectableAddressPattern()) +
           " named=" + SingleQuoted(kInterfaceNamePattern) + "\n" + kZshInterfaces;
}

// The _arguments call of each command, in a case on the command's name.
std::string ZshCommandCases() {
    std::string out;
    for (const CommandSpec& command : Commands()) {
        out += "        " + std::string(command.name) + ")\n          _arguments \\\n";
        out += "            " + ZshHelpSpec() + " \\\n";
        for (const OptionSpec* option : OptionsOf(command)) {
            out += "            " + ZshOptionSpec(*option, command) + " \\\n";
        }
        // One spec per operand word: "OLD NEW" is two files.
        std::istringstream operands{std::string(command.operand)};
        for (std::string operand; operands >> operand;) {
            out += "            " + SingleQuoted(ZshValue(command.operandKind, operand)) + " \\\n";
        }
        out += "            && ret=0\n          ;;\n";
    }
    return out;
}

}  // namespace

std::string ZshCompletion() {
    std::string out = "#compdef apctl\n" + Provenance("zsh") + "\n" + ZshInterfaces() +
                      "\n"
                      "_apctl() {\n"
                      "  local curcontext=$curcontext state state_descr line ret=1\n"
                      "  local -A opt_args\n"
                      "  local -a commands\n"
                      "  local _apctl_program=$words[1]\n"
                      "  commands=(\n";
    for (const CommandSpec& command : Commands()) {
        out += "    " + SingleQuoted(Cat({command.name, ":", Summary(command.description)})) + "\n";
    }
    out += "  )\n  _arguments -C \\\n    " + ZshHelpSpec() +
           " \\\n"
           "    '1: :->command' \\\n"
           "    '*:: :->argument' && ret=0\n"
           "  case $state in\n"
           "    command)\n"
           "      _describe -t commands 'apctl command' commands && ret=0\n"
           "      ;;\n"
           "    argument)\n"
           "      curcontext=${curcontext%:*:*}:apctl-$words[1]:\n"
           "      case $words[1] in\n" +
           ZshCommandCases() +
           "      esac\n"
           "      ;;\n"
           "  esac\n"
           "  return ret\n"
           "}\n"
           "\n"
           "_apctl \"$@\"\n";
    return out;
}

}  // namespace apctl
