#pragma once

#include <cstdint>
#include <initializer_list>
#include <span>
#include <string_view>

#include "tools/apctl/ApctlCommand.h"

// apctl's commands and options as data: the option parser and --help are built from them, and a
// test holds the bash completion to them, so an option is added here first and nowhere forgotten.
namespace apctl {

// What a value is, so a completion knows what to offer for it.
enum class ValueKind { kNone, kInterfaceName, kFile, kSeconds, kAddress, kMacAddress, kCommand };

// How an option takes its value.
enum class ValueForm {
    kNone,          // --parallel
    kSeparate,      // --interface NAME or --interface=NAME
    kAssignedOnly,  // --verify or --verify=SECONDS: a bare one must not swallow what follows
    kFour,          // --fixed IP MASK GATEWAY DNS, four words of their own
};

enum class OptionId {
    kJson,
    kCsv,
    kParallel,
    kVerbose,
    kDhcp,
    kFixed,
    kVerify,
    kDryRun,
    kInterval,
    kInterface,
    kTextfile,
    kCheck,
    kExec,
    kForget,
    kJobs
};

// A set of commands, one bit per Action.
class CommandSet {
public:
    constexpr CommandSet() = default;
    constexpr CommandSet(std::initializer_list<Action> actions) {
        for (const Action action : actions) {
            bits_ |= Bit(action);
        }
    }
    constexpr bool Has(Action action) const { return (bits_ & Bit(action)) != 0; }
    constexpr bool operator==(const CommandSet&) const = default;

private:
    static constexpr std::uint32_t Bit(Action action) {
        return std::uint32_t{1} << static_cast<unsigned>(action);
    }
    std::uint32_t bits_ = 0;
};

struct OptionSpec {
    OptionId id;
    std::string_view longName;        // "--interface"
    std::string_view shortName = "";  // "-i"
    ValueForm form = ValueForm::kNone;
    ValueKind kind = ValueKind::kNone;
    std::string_view valueName = "";  // as the help writes the value: "NAME"
    CommandSet commands;              // the commands that take it
    // For a value given only after '=': the commands whose usage always writes the value, so a
    // completion offers only the "--name=" form there.
    CommandSet valueWrittenIn = {};
    std::string_view description = "";  // one line
};

// A longer note on an option under one command's description in --help.
struct OptionNote {
    OptionId option;
    std::string_view text;  // lines joined by '\n'
};

struct CommandSpec {
    Action action;
    std::string_view name;
    // The arguments that are not options: "MAC", "PLAN", "OLD NEW", or empty.
    std::string_view operand = "";
    ValueKind operandKind = ValueKind::kNone;
    std::string_view missingOperand = "";  // the usage error when it is not given
    std::string_view extraHint = "";       // appended to the usage error for an unexpected one
    std::span<const std::string_view> synopses;
    std::string_view description;  // lines joined by '\n'
    std::span<const OptionNote> notes = {};
    std::size_t operandCount = 1;  // the words of `operand`, when it is not empty
};

std::span<const CommandSpec> Commands();
std::span<const OptionSpec> Options();

// Null when there is none.
const CommandSpec* CommandNamed(std::string_view name);
const OptionSpec* OptionNamed(std::string_view name);  // by its long or short name
const OptionSpec& OptionWithId(OptionId id);

// True for an option that every command that sends takes, and no other: --help lists those once,
// after the commands, rather than in each usage line.
bool TakenByEverySendingCommand(const OptionSpec& option);

}  // namespace apctl
