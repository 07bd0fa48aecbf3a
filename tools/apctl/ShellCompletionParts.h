#pragma once

#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "tools/apctl/ApctlOptions.h"

// What the three shells' completions are written from, besides the option table.
namespace apctl::completion {

inline constexpr char kHelpDescription[] = "prints the usage";

// The first lines of every file: where it comes from.
std::string Provenance(std::string_view shell);

// Pieces appended one by one: GCC 12 at -O3 warns falsely (-Wrestrict) on "literal" + string.
std::string Cat(std::initializer_list<std::string_view> parts);

// Inside '...' of a bash or zsh script.
std::string SingleQuoted(std::string_view text);

// The first sentence of a command's description, without its parentheses, on one line and in
// the options' own lower case: the few words a shell shows next to the name.
std::string Summary(std::string_view description);

// The options `command` takes, in the table's order.
std::vector<const OptionSpec*> OptionsOf(const CommandSpec& command);

// Without its leading dashes: fish wants "interface" for --interface.
std::string_view Bare(std::string_view name);

// The interfaces offered after --interface are those apctl takes there: the completions read
// `apctl interfaces --json`, one address a line, and keep the interface of a line that matches
// both of these (regular expressions that POSIX ERE and PCRE read alike). The name's pattern
// leaves out names that JSON had to escape: they could not be typed as offered.
inline constexpr char kInterfaceNamePattern[] = R"re("interface": "([^"\\]*)")re";
std::string SelectableAddressPattern();

}  // namespace apctl::completion
