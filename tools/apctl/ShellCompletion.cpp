#include "tools/apctl/ShellCompletion.h"

#include <cctype>
#include <initializer_list>
#include <sstream>
#include <string_view>
#include <vector>

#include "tools/apctl/ApctlOptions.h"

namespace apctl {

namespace {

// Pieces appended one by one: GCC 12 at -O3 warns falsely (-Wrestrict) on "literal" + string.
std::string Cat(std::initializer_list<std::string_view> parts) {
    std::string text;
    for (const std::string_view part : parts) {
        text.append(part);
    }
    return text;
}

constexpr char kHelpDescription[] = "prints the usage";

// The first sentence of a command's description, without its parentheses, on one line and in
// the options' own lower case: the few words a shell shows next to the name.
std::string Summary(std::string_view description) {
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

// Without its leading dashes: fish wants "interface" for --interface.
std::string_view Bare(std::string_view name) {
    while (!name.empty() && name.front() == '-') {
        name.remove_prefix(1);
    }
    return name;
}

// --- zsh ------------------------------------------------------------------------------------

// Inside '...' of a zsh script.
std::string ZshQuoted(std::string_view text) {
    std::string quoted = "'";
    for (const char c : text) {
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return quoted + "'";
}

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

// One _arguments spec (two words where the option has a short name) for an option.
std::string ZshOptionSpec(const OptionSpec& option, const CommandSpec& command) {
    const std::string description = Cat({"[", ZshField(option.description), "]"});
    std::string value;
    std::string suffix;  // after the long name
    switch (option.form) {
        case ValueForm::kNone:
            break;
        case ValueForm::kSeparate:
            suffix = "=";  // --name VALUE or --name=VALUE
            value = ZshValue(option.kind, option.valueName);
            break;
        case ValueForm::kAssignedOnly:
            suffix = "=-";  // the value only after the '='
            value = ZshValue(option.kind, option.valueName);
            if (!option.valueWrittenIn.Has(command.action)) {
                value = Cat({":", value});  // optional
            }
            break;
        case ValueForm::kFour: {
            std::istringstream names{std::string(option.valueName)};
            std::string name;
            while (names >> name) {
                value += ZshValue(option.kind, name);
            }
            break;
        }
    }
    // An interface is named once for each network that is to be asked.
    const bool repeated = option.kind == ValueKind::kInterfaceName;
    const std::string longName = std::string(option.longName) + suffix;
    if (option.shortName.empty()) {
        return ZshQuoted((repeated ? "*" : "") + longName + description + value);
    }
    const std::string exclusion =
        repeated ? std::string(1, '*') : Cat({"(", option.shortName, " ", option.longName, ")"});
    return ZshQuoted(exclusion) + "{" + std::string(option.shortName) + "," + longName + "}" +
           ZshQuoted(description + value);
}

std::string ZshHelpSpec() {
    return ZshQuoted("(- *)") + "{-h,--help}" +
           ZshQuoted(std::string("[") + kHelpDescription + "]");
}

// --- fish -----------------------------------------------------------------------------------

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

}  // namespace

std::string ZshCompletion() {
    std::string out =
        "#compdef apctl\n"
        "# zsh completion for apctl, written at build time from apctl's table of commands and\n"
        "# options (tools/apctl/ApctlOptions.cpp): change the table, not this file.\n"
        "\n"
        "# The interfaces of this network namespace, as the kernel names them: /proc/net/dev is\n"
        "# the reading process's own namespace, where /sys/class/net is the one sysfs was mounted "
        "in.\n"
        "(( $+functions[_apctl_interfaces] )) ||\n"
        "_apctl_interfaces() {\n"
        "  local -a names expl\n"
        "  names=(${${${(f)\"$(</proc/net/dev)\"}[3,-1]%%:*}// /})\n"
        "  _wanted interfaces expl 'network interface' compadd -a names\n"
        "}\n"
        "\n"
        "_apctl() {\n"
        "  local curcontext=$curcontext state state_descr line ret=1\n"
        "  local -A opt_args\n"
        "  local -a commands\n"
        "  commands=(\n";
    for (const CommandSpec& command : Commands()) {
        out += "    " + ZshQuoted(std::string(command.name) + ":" + Summary(command.description)) +
               "\n";
    }
    out +=
        "  )\n"
        "  _arguments -C \\\n"
        "    " +
        ZshHelpSpec() +
        " \\\n"
        "    '1: :->command' \\\n"
        "    '*:: :->argument' && ret=0\n"
        "  case $state in\n"
        "    command)\n"
        "      _describe -t commands 'apctl command' commands && ret=0\n"
        "      ;;\n"
        "    argument)\n"
        "      curcontext=${curcontext%:*:*}:apctl-$words[1]:\n"
        "      case $words[1] in\n";
    for (const CommandSpec& command : Commands()) {
        out += "        " + std::string(command.name) + ")\n          _arguments \\\n";
        out += "            " + ZshHelpSpec() + " \\\n";
        for (const OptionSpec* option : OptionsOf(command)) {
            out += "            " + ZshOptionSpec(*option, command) + " \\\n";
        }
        // One spec per operand word: "OLD NEW" is two files.
        std::istringstream operands{std::string(command.operand)};
        for (std::string operand; operands >> operand;) {
            out += "            " + ZshQuoted(ZshValue(command.operandKind, operand)) + " \\\n";
        }
        out += "            && ret=0\n          ;;\n";
    }
    out +=
        "      esac\n"
        "      ;;\n"
        "  esac\n"
        "  return ret\n"
        "}\n"
        "\n"
        "_apctl \"$@\"\n";
    return out;
}

std::string FishCompletion() {
    std::string out =
        "# fish completion for apctl, written at build time from apctl's table of commands and\n"
        "# options (tools/apctl/ApctlOptions.cpp): change the table, not this file.\n"
        "\n"
        "# The interfaces of this network namespace, as the kernel names them: /proc/net/dev is\n"
        "# the reading process's own namespace, where /sys/class/net is the one sysfs was mounted "
        "in.\n"
        "function __apctl_interfaces\n"
        "    string match -rg '^\\s*([^:\\s]+):' </proc/net/dev |\n"
        "        string replace -r '$' '\\tnetwork interface'\n"
        "end\n"
        "\n"
        "# Nothing is a file unless said so below.\n"
        "complete -c apctl -f\n"
        "complete -c apctl -n __fish_use_subcommand -s h -l help -d " +
        FishQuoted(kHelpDescription) + "\n";
    for (const CommandSpec& command : Commands()) {
        out += "complete -c apctl -n __fish_use_subcommand -a " + std::string(command.name) +
               " -d " + FishQuoted(Summary(command.description)) + "\n";
    }
    out += "complete -c apctl -n 'not __fish_use_subcommand' -s h -l help -d " +
           FishQuoted(kHelpDescription) + "\n";
    for (const OptionSpec& option : Options()) {
        std::string commands;
        for (const CommandSpec& command : Commands()) {
            if (option.commands.Has(command.action)) {
                commands.append(" ").append(command.name);
            }
        }
        if (commands.empty()) {
            continue;
        }
        out.append("complete -c apctl -n '__fish_seen_subcommand_from").append(commands).append("'");
        if (!option.shortName.empty()) {
            out += " -s " + std::string(Bare(option.shortName));
        }
        out += " -l " + std::string(Bare(option.longName));
        // A value after '=' alone is no word of its own for fish to complete.
        if (option.form == ValueForm::kSeparate || option.form == ValueForm::kFour) {
            switch (option.kind) {
                case ValueKind::kInterfaceName:
                    out += " -x -a '(__apctl_interfaces)'";
                    break;
                case ValueKind::kFile:
                    out += " -r -F";
                    break;
                default:
                    out += " -x";
                    break;
            }
        }
        out += " -d " + FishQuoted(option.description) + "\n";
    }
    for (const CommandSpec& command : Commands()) {
        if (command.operandKind == ValueKind::kFile) {
            out += "complete -c apctl -n '__fish_seen_subcommand_from " +
                   std::string(command.name) + "' -F\n";
        }
    }
    return out;
}

}  // namespace apctl
