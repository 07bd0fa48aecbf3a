#include <string>

#include "tools/apctl/ShellCompletion.h"
#include "tools/apctl/ShellCompletionParts.h"

namespace apctl {

namespace {

using namespace completion;

// Run by the program's own name as typed (when it is an apctl: not a sudo before it), so that a
// build's apctl offers its own view; `command` passes over a shell function of the same name.
constexpr char kBashInterfaces[] =
    "    [[ $program == \\~/* ]] && program=$HOME/${program#\\~/}\n"
    "    [[ ${program##*/} == apctl ]] || program=apctl\n"
    "    type -P -- \"$program\" >/dev/null || program=apctl\n"
    "    local -A seen=()\n"
    "    while IFS= read -r line; do\n"
    "        [[ $line =~ $selectable && $line =~ $named ]] || continue\n"
    "        [[ -n ${seen[${BASH_REMATCH[1]}]} ]] && continue\n"
    "        seen[${BASH_REMATCH[1]}]=1\n"
    "        printf '%s\\n' \"${BASH_REMATCH[1]}\"\n"
    "    done < <(command \"$program\" interfaces --json 2>/dev/null)\n"
    "}\n";

std::string BashInterfaces() {
    return "_apctl_interfaces() {\n"
           "    local program=${COMP_WORDS[0]} line\n"
           "    local selectable=" +
           SingleQuoted(SelectableAddressPattern()) +
           " named=" + SingleQuoted(kInterfaceNamePattern) + "\n" + kBashInterfaces;
}

// What is offered for the value of an option, by what the value is. Four words of their own
// (--fixed) are addresses, which nothing offers.
std::string BashValue(const OptionSpec& option) {
    if (option.form == ValueForm::kAssignedOnly) {
        // Its value comes only after '='; a bare one takes none and options follow.
        return "            ((assigned)) && return\n";
    }
    switch (option.kind) {
        case ValueKind::kInterfaceName:
            return "            _apctl_values \"$(_apctl_interfaces)\"\n            return\n";
        case ValueKind::kFile:
            return "            compopt -o filenames 2>/dev/null\n"
                   "            _apctl_values '' -f\n"
                   "            return\n";
        case ValueKind::kCommand:
            // A program, its arguments in the same quoted word. Sorted once: with /bin a link
            // to /usr/bin, each program is found twice on PATH.
            return "            mapfile -t COMPREPLY < <(compgen -c -- \"$value\" | sort -u)\n"
                   "            return\n";
        default:
            return "            return\n";
    }
}

// The case on the option before the word completed, for each option that takes a value.
std::string BashValueCases() {
    std::string out = "    case $option in\n";
    for (const OptionSpec& option : Options()) {
        if (option.form != ValueForm::kSeparate && option.form != ValueForm::kAssignedOnly) {
            continue;
        }
        out += "        ";
        if (!option.shortName.empty()) {
            out += Cat({option.shortName, " | "});
        }
        out += Cat({option.longName, ")\n", BashValue(option), "            ;;\n"});
    }
    return out + "    esac\n";
}

// The words offered for `command`'s options: "--verify" and "--verify=" where the value may be
// left out, only "--verify=" where the usage always writes it.
std::string BashOptionWords(const CommandSpec& command) {
    std::string words;
    for (const OptionSpec* option : OptionsOf(command)) {
        const bool assigned = option->form == ValueForm::kAssignedOnly;
        if (!assigned || !option->valueWrittenIn.Has(command.action)) {
            words += Cat({words.empty() ? "" : " ", option->longName});
        }
        if (assigned) {
            words += Cat({words.empty() ? "" : " ", option->longName, "="});
        }
        if (!option->shortName.empty()) {
            words += Cat({" ", option->shortName});
        }
    }
    return words;
}

std::string BashOptionCases() {
    std::string out = "    local options\n    case ${COMP_WORDS[1]} in\n";
    for (const CommandSpec& command : Commands()) {
        out += Cat({"        ", command.name, ") options=\"", BashOptionWords(command), "\" ;;\n"});
    }
    return out + "        *) return ;;\n    esac\n";
}

// The commands whose operands are files.
std::string BashFileOperands() {
    std::string test;
    for (const CommandSpec& command : Commands()) {
        if (command.operandKind == ValueKind::kFile) {
            test +=
                Cat({test.empty() ? "" : " || ", "[[ ${COMP_WORDS[1]} == ", command.name, " ]]"});
        }
    }
    return test.empty() ? "false" : test;
}

// bash splits "--interface=lan" at the '=' (COMP_WORDBREAKS): the value is then a word of its
// own after a "=" word; without that splitting it is one word, and the reply keeps the option.
constexpr char kValueWords[] =
    "    # \"--interface=lan\" is split at the '=' where COMP_WORDBREAKS holds it.\n"
    "    local option=$prev value=$cur assigned=0\n"
    "    if [[ $cur == \"=\" ]]; then\n"
    "        option=$prev value= assigned=1\n"
    "    elif [[ $prev == \"=\" ]] && ((COMP_CWORD > 1)); then\n"
    "        option=${COMP_WORDS[COMP_CWORD - 2]} assigned=1\n"
    "    elif [[ $cur == -*=* ]]; then\n"
    "        option=${cur%%=*} value=${cur#*=} assigned=1\n"
    "    fi\n";

// The replies for an option's value (the caller's cur, option and value): the words of $1, or
// what compgen's action $2 finds.
constexpr char kValues[] =
    "_apctl_values() {\n"
    "    local prefix=()\n"
    "    [[ $cur == -*=* ]] && prefix=(-P \"$option=\")\n"
    "    if [[ -n $2 ]]; then\n"
    "        mapfile -t COMPREPLY < <(compgen \"${prefix[@]}\" \"$2\" -- \"$value\")\n"
    "    else\n"
    "        mapfile -t COMPREPLY < <(compgen \"${prefix[@]}\" -W \"$1\" -- \"$value\")\n"
    "    fi\n"
    "}\n";

}  // namespace

std::string BashCompletion() {
    std::string commands;
    for (const CommandSpec& command : Commands()) {
        commands += Cat({commands.empty() ? "" : " ", command.name});
    }
    return Provenance("bash") +
           "# Installed as share/bash-completion/completions/apctl; it needs nothing from the\n"
           "# bash-completion package, so sourcing it by hand works too.\n\n" +
           BashInterfaces() + "\n" + kValues +
           "\n_apctl() {\n"
           "    local cur=${COMP_WORDS[COMP_CWORD]}\n"
           "    local prev=\n"
           "    ((COMP_CWORD > 0)) && prev=${COMP_WORDS[COMP_CWORD - 1]}\n"
           "    COMPREPLY=()\n\n"
           "    local commands=\"" +
           commands +
           "\"\n"
           "    if ((COMP_CWORD == 1)); then\n"
           "        mapfile -t COMPREPLY < <(compgen -W \"$commands --help\" -- \"$cur\")\n"
           "        return\n"
           "    fi\n\n" +
           kValueWords + BashValueCases() + "\n" + BashOptionCases() +
           "    if [[ $cur == -* ]]; then\n"
           "        mapfile -t COMPREPLY < <(compgen -W \"$options --help\" -- \"$cur\")\n"
           "        # \"--verify=\" wants its seconds right after the '='.\n"
           "        if [[ ${#COMPREPLY[@]} -eq 1 && ${COMPREPLY[0]} == *= ]]; then\n"
           "            compopt -o nospace 2>/dev/null\n"
           "        fi\n"
           "    elif " +
           BashFileOperands() +
           "; then\n"
           "        compopt -o filenames 2>/dev/null\n"
           "        mapfile -t COMPREPLY < <(compgen -f -- \"$cur\")\n"
           "    fi\n"
           "}\n\n"
           "complete -F _apctl apctl\n";
}

}  // namespace apctl
