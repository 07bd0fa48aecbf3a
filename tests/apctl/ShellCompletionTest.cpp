// zsh's and fish's completion as the build wrote them, exercised in each shell and held to the
// table of commands and options: an option the table holds and a shell does not offer fails here.
// Sends nothing; the interface names are those of a network namespace of the test's own, listed
// by apctl interfaces.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "tools/apctl/ApctlOptions.h"

namespace {

using Words = std::set<std::string>;

const std::string kZshFile = std::string(AP_COMPLETION_DIR) + "/_apctl";
const std::string kFishFile = std::string(AP_COMPLETION_DIR) + "/apctl.fish";

std::string Quoted(const std::string& text) {
    std::string quoted = "'";
    for (const char c : text) {
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return quoted + "'";
}

struct Result {
    int status = -1;
    std::string output;
};

// Runs a shell command line; its standard output, and its exit status.
Result Shell(const std::string& command) {
    Result result;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) {
        return result;
    }
    char buffer[4096];
    std::size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) {
        result.output.append(buffer, got);
    }
    const int status = ::pclose(pipe);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

bool Installed(const char* program) {
    return Shell(std::string("command -v ") + program + " >/dev/null 2>&1").status == 0;
}

#define REQUIRE_SHELL(name)                                                                \
    if (!Installed(name)) {                                                                \
        GTEST_SKIP() << name << " is not installed (scripts/setup-deps test installs it)"; \
    }

// The command line that has fish complete `line`, and zsh on a pseudo-terminal.
std::string FishCompleting(const std::string& line) {
    return "fish --no-config -c " +
           Quoted("source " + Quoted(kFishFile) + "; complete -C " + Quoted(line)) + " 2>&1";
}
std::string ZshCompleting(const std::string& line) {
    return "timeout 90 zsh -f " + Quoted(AP_ZSH_CAPTURE) + " " + Quoted(AP_COMPLETION_DIR) + " " +
           Quoted(line);
}

// The first word of each line: fish prints "candidate<TAB>description".
Words Candidates(const std::string& output) {
    Words words;
    std::istringstream lines(output);
    for (std::string line; std::getline(lines, line);) {
        if (!line.empty()) {
            words.insert(line.substr(0, line.find('\t')));
        }
    }
    return words;
}

Words FishOffers(const std::string& line) {
    const Result result = Shell(FishCompleting(line));
    EXPECT_EQ(result.status, 0) << line << ": " << result.output;
    return Candidates(result.output);
}

Words ZshOffers(const std::string& line) {
    const Result result = Shell(ZshCompleting(line));
    EXPECT_EQ(result.status, 0) << line << ": " << result.output;
    return Candidates(result.output);
}

Words CommandNames() {
    Words names;
    for (const apctl::CommandSpec& command : apctl::Commands()) {
        names.insert(std::string(command.name));
    }
    return names;
}

// What is typed before the options of `command`: its operand where it has one.
std::string Typed(const apctl::CommandSpec& command) {
    std::string typed = "apctl " + std::string(command.name) + " ";
    if (command.operandKind == apctl::ValueKind::kMacAddress) {
        typed += "000A1B2C3D4E ";
    }
    return typed;
}

// The long names of a command's options in the table, and --help, which every command takes.
Words LongOptions(const apctl::CommandSpec& command) {
    Words names = {"--help"};
    for (const apctl::OptionSpec& option : apctl::Options()) {
        if (option.commands.Has(command.action)) {
            names.insert(std::string(option.longName));
        }
    }
    return names;
}

TEST(ShellCompletion, FilesAreValidScripts) {
    REQUIRE_SHELL("zsh");
    REQUIRE_SHELL("fish");
    for (const std::string& check :
         {"zsh -n " + Quoted(kZshFile), "fish --no-execute " + Quoted(kFishFile)}) {
        const Result result = Shell(check + " 2>&1");
        EXPECT_EQ(result.status, 0) << check << ": " << result.output;
    }
}

TEST(ShellCompletion, FishOffersTheTablesCommandsAndOptions) {
    REQUIRE_SHELL("fish");
    EXPECT_EQ(FishOffers("apctl "), CommandNames());
    EXPECT_EQ(FishOffers("apctl dis"), Words{"discover"});
    for (const apctl::CommandSpec& command : apctl::Commands()) {
        EXPECT_EQ(FishOffers(Typed(command) + "--"), LongOptions(command)) << command.name;
    }
    // Each option with the table's description.
    const std::string discover = Shell(FishCompleting("apctl discover --")).output;
    for (const apctl::OptionSpec& option : apctl::Options()) {
        if (option.commands.Has(apctl::Action::kDiscover)) {
            EXPECT_NE(discover.find(std::string(option.longName) + "\t" +
                                    std::string(option.description) + "\n"),
                      std::string::npos)
                << option.longName << " in:\n"
                << discover;
        }
    }
}

TEST(ShellCompletion, ZshOffersTheTablesCommandsAndOptions) {
    REQUIRE_SHELL("zsh");
    EXPECT_EQ(ZshOffers("apctl "), CommandNames());
    EXPECT_EQ(ZshOffers("apctl dis"), Words{"discover"});
    for (const apctl::CommandSpec& command : apctl::Commands()) {
        EXPECT_EQ(ZshOffers(Typed(command) + "--"), LongOptions(command)) << command.name;
    }
}

// A plan is a file; nothing else is.
TEST(ShellCompletion, FilesOnlyWhereTheTableWantsAFile) {
    REQUIRE_SHELL("zsh");
    REQUIRE_SHELL("fish");
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("apctl-completion-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    std::ofstream(dir / "plan.csv") << "mac,mode,ip,mask,gateway,dns\n";
    for (const apctl::CommandSpec& command : apctl::Commands()) {
        const std::string line = Typed(command) + (dir / "pl").string();
        const bool file = command.operandKind == apctl::ValueKind::kFile;
        EXPECT_EQ(FishOffers(line), file ? Words{(dir / "plan.csv").string()} : Words{}) << line;
        EXPECT_EQ(ZshOffers(line), file ? Words{"plan.csv"} : Words{}) << line;
    }
    std::filesystem::remove_all(dir);
}

// After -i, the interfaces of the namespace the shell runs in that apctl takes there, as the
// program typed lists them: a new namespace where only apctl-cmp0 is usable (lo is loopback,
// its peer has no address, apctl-cmp2 has no carrier).
TEST(ShellCompletion, InterfaceNamesApctlTakes) {
    REQUIRE_SHELL("zsh");
    REQUIRE_SHELL("fish");
    const std::string inNamespace = "unshare --net -- sh -c " +
                                    Quoted(
                                        "ip link set lo up && "
                                        "ip link add apctl-cmp0 type veth peer name apctl-cmp1 && "
                                        "ip link add apctl-cmp2 type veth peer name apctl-cmp3 && "
                                        "ip address add 192.0.2.1/24 dev apctl-cmp0 && "
                                        "ip address add 198.51.100.1/24 dev apctl-cmp2 && "
                                        "ip link set apctl-cmp0 up && ip link set apctl-cmp1 up && "
                                        "ip link set apctl-cmp2 up || exit 7; "
                                        "PATH=" AP_APCTL_DIR ":$PATH exec \"$@\"") +
                                    " sh sh -c ";
    const Result probe = Shell(inNamespace + Quoted("true") + " 2>&1");
    ASSERT_EQ(probe.status, 0) << "cannot make a network namespace with veth pairs (needs root, "
                                  "unshare and ip): "
                               << probe.output;
    const Words expected = {"apctl-cmp0"};
    for (const std::string& line :
         {std::string("apctl discover -i "), std::string("apctl reset 000A1B2C3D4E --interface "),
          std::string(AP_APCTL_DIR) + "/apctl watch -i "}) {
        EXPECT_EQ(Candidates(Shell(inNamespace + Quoted(FishCompleting(line))).output), expected)
            << "fish: " << line;
        EXPECT_EQ(Candidates(Shell(inNamespace + Quoted(ZshCompleting(line))).output), expected)
            << "zsh: " << line;
    }
}

// Where nothing is offered, zsh says what is wanted: a message that _arguments' own ':' would
// cut short unless escaped.
TEST(ShellCompletion, ZshSaysWhatAValueIs) {
    REQUIRE_SHELL("zsh");
    const struct {
        const char* line;
        const char* message;
    } cases[] = {
        {"apctl reset ", "MAC (12 hexadecimal digits, or six pairs joined by : or -)"},
        {"apctl watch --interval ", "SECONDS (a number such as 30 or 2.5)"},
    };
    for (const auto& c : cases) {
        const Result result = Shell(ZshCompleting(c.line) + " messages");
        EXPECT_EQ(result.status, 0) << c.line << ": " << result.output;
        EXPECT_EQ(Candidates(result.output), Words{c.message}) << c.line;
    }
}

}  // namespace
