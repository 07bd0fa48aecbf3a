// The bash completion (the build writes it) and the usage lines (written by hand): these tests
// hold them to the table of commands and options, so an option added, dropped or moved fails
// here until both follow.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>

#include "tools/apctl/ApctlOptions.h"

namespace {

using Words = std::set<std::string>;

std::string ReadFile(const char* path) {
    std::ifstream file(path);
    EXPECT_TRUE(file) << path;
    return {std::istreambuf_iterator<char>(file), {}};
}

Words Split(const std::string& text) {
    std::istringstream in(text);
    return {std::istream_iterator<std::string>(in), {}};
}

// What the completion should offer for each option of `command`, as typed up to the value.
Words OfferedFor(const apctl::CommandSpec& command) {
    Words words;
    for (const apctl::OptionSpec& option : apctl::Options()) {
        if (!option.commands.Has(command.action)) {
            continue;
        }
        const std::string name(option.longName);
        if (option.form == apctl::ValueForm::kAssignedOnly) {
            words.insert(name + "=");
            if (!option.valueWrittenIn.Has(command.action)) {
                words.insert(name);
            }
            continue;
        }
        words.insert(name);
        if (!option.shortName.empty()) {
            words.insert(std::string(option.shortName));
        }
    }
    return words;
}

// Every match of `pattern`'s first group and, when it has one, its second.
std::map<std::string, std::string> Matches(const std::string& text, const std::string& pattern) {
    std::map<std::string, std::string> found;
    const std::regex re(pattern);
    for (auto it = std::sregex_iterator(text.begin(), text.end(), re); it != std::sregex_iterator();
         ++it) {
        found[(*it)[1]] = it->size() > 2 ? (*it)[2].str() : "";
    }
    return found;
}

TEST(ApctlCompletion, OffersWhatTheTableHolds) {
    const std::string script = ReadFile(AP_COMPLETION_PATH);
    const auto commandList = Matches(script, R"(local (commands)="([^"]*)\")");
    ASSERT_EQ(commandList.size(), 1u) << "no 'local commands=\"...\"' line";
    Words commands, fileOperands;
    for (const apctl::CommandSpec& command : apctl::Commands()) {
        commands.insert(std::string(command.name));
        if (command.operandKind == apctl::ValueKind::kFile) {
            fileOperands.insert(std::string(command.name));
        }
    }
    EXPECT_EQ(Split(commandList.begin()->second), commands);

    const auto optionLines = Matches(script, R"(\n\s*([a-z]+)\) options="([^"]*)\")");
    EXPECT_EQ(optionLines.size(), commands.size());
    for (const apctl::CommandSpec& command : apctl::Commands()) {
        const auto line = optionLines.find(std::string(command.name));
        ASSERT_NE(line, optionLines.end()) << "no options line for " << command.name;
        EXPECT_EQ(Split(line->second), OfferedFor(command)) << command.name;
    }

    // The options whose value the completion handles (or declines to), and the operands that
    // are files.
    Words valueOptions;
    for (const apctl::OptionSpec& option : apctl::Options()) {
        if (option.form == apctl::ValueForm::kSeparate ||
            option.form == apctl::ValueForm::kAssignedOnly) {
            valueOptions.insert(std::string(option.longName));
            if (!option.shortName.empty()) {
                valueOptions.insert(std::string(option.shortName));
            }
        }
    }
    const std::size_t from = script.find("case $option in");
    ASSERT_NE(from, std::string::npos) << "no 'case $option in' block";
    const std::string block = script.substr(from, script.find("esac", from) - from);
    Words handled;
    for (const auto& [pattern, unused] : Matches(block, R"(\n\s*(-[-a-z |]+)\))")) {
        for (const std::string& word : Split(pattern)) {
            if (word != "|") {
                handled.insert(word);
            }
        }
    }
    EXPECT_EQ(handled, valueOptions);
    Words files;
    for (const auto& [name, unused] :
         Matches(script, R"(\$\{COMP_WORDS\[1\]\} == ([a-z]+) \]\])")) {
        files.insert(name);
    }
    EXPECT_EQ(files, fileOperands);
}

// Each usage line shows the options its command takes, in the form it takes them; the options
// of every command that sends are listed once, after the commands.
TEST(ApctlUsage, SynopsesShowEachCommandsOwnOptions) {
    const std::regex optionWord(R"((--[a-z-]+)(\[?=)?)");
    for (const apctl::CommandSpec& command : apctl::Commands()) {
        Words shown, expected;
        for (const std::string_view synopsis : command.synopses) {
            const std::string text(synopsis);
            EXPECT_TRUE(text.rfind(std::string(command.name) + " ", 0) == 0 || text == command.name)
                << text;
            for (auto it = std::sregex_iterator(text.begin(), text.end(), optionWord);
                 it != std::sregex_iterator(); ++it) {
                shown.insert((*it)[0].str());
            }
        }
        for (const apctl::OptionSpec& option : apctl::Options()) {
            if (!option.commands.Has(command.action) || apctl::TakenByEverySendingCommand(option)) {
                continue;
            }
            std::string form(option.longName);
            if (option.form == apctl::ValueForm::kAssignedOnly) {
                form += option.valueWrittenIn.Has(command.action) ? "=" : "[=";
            }
            expected.insert(form);
        }
        EXPECT_EQ(shown, expected) << command.name;
    }
}

}  // namespace
