#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "net/FakeNetwork.h"
#include "tools/apctl/WatchHook.h"

namespace {

using namespace std::chrono_literals;
using apctl::HookEvent;
using apctl::HookRunner;

TEST(HookCommand, SplitsIntoWordsWithoutAShell) {
    const struct {
        std::string text;
        std::vector<std::string> words;  // empty: refused
    } cases[] = {
        {"notify", {"notify"}},
        {" \t/usr/bin/logger  -t apctl\t", {"/usr/bin/logger", "-t", "apctl"}},
        {"sh -c 'echo \"$APCTL_MAC\" >> /tmp/x'", {"sh", "-c", "echo \"$APCTL_MAC\" >> /tmp/x"}},
        {"a'b c'\"d'e\"f", {"ab cd'ef"}},
        {"run '' x", {"run", "", "x"}},
        {"a\\ b $HOME *", {"a\\", "b", "$HOME", "*"}},
        {"", {}},
        {" \t ", {}},
        {"sh -c 'unclosed", {}},
        {"say \"unclosed", {}},
    };
    for (const auto& c : cases) {
        std::vector<std::string> words;
        std::string error;
        EXPECT_EQ(apctl::SplitHookCommand(c.text, &words, &error), !c.words.empty()) << c.text;
        if (!c.words.empty()) {
            EXPECT_EQ(words, c.words) << c.text;
        } else {
            EXPECT_FALSE(error.empty()) << c.text;
        }
    }
}

class HookRunnerTest : public ::testing::Test {
protected:
    HookRunnerTest() {
        std::string pattern = (std::filesystem::temp_directory_path() / "apctl-hook-XXXXXX");
        dir_ = ::mkdtemp(pattern.data());
    }
    ~HookRunnerTest() override { std::filesystem::remove_all(dir_); }

    std::string Path(const std::string& name) const { return (dir_ / name).string(); }

    std::string Read(const std::string& name) const {
        std::ifstream in(Path(name));
        std::ostringstream text;
        text << in.rdbuf();
        return text.str();
    }

    // Waits until the file holds something, for at most 10 s.
    bool WaitForFile(const std::string& name) const {
        for (auto end = std::chrono::steady_clock::now() + 10s;
             std::chrono::steady_clock::now() < end; std::this_thread::sleep_for(5ms)) {
            if (!Read(name).empty()) {
                return true;
            }
        }
        return false;
    }

    // A runner on the fake network's clock: its bound is virtual time, which moves while the
    // test waits in Settle. Each line said is stamped "T" and its time kept in saidAt_.
    std::unique_ptr<HookRunner> Runner(std::vector<std::string> command,
                                       std::chrono::milliseconds bound = apctl::kHookBound,
                                       std::size_t queueLimit = apctl::kHookQueueLimit) {
        const auto stamp = [this] {
            saidAt_.push_back(network_.NowMs());
            return std::string("T");
        };
        return std::make_unique<HookRunner>(
            HookRunner::Settings{std::move(command), bound, queueLimit, stamp}, network_, err_);
    }

    // Gives the hooks posted time to run, or to be killed at their bound, twice over.
    void Settle() { network_.Sleep(2 * apctl::kHookBound + 1s); }

    std::unique_ptr<HookRunner> Script(const std::string& script,
                                       std::chrono::milliseconds bound = apctl::kHookBound,
                                       std::size_t queueLimit = apctl::kHookQueueLimit) {
        return Runner({"/bin/sh", "-c", "cd '" + dir_.string() + "' || exit 99\n" + script}, bound,
                      queueLimit);
    }

    static HookEvent Event(int n, std::string json = {}) {
        const std::string mac = "000A1B10000" + std::to_string(n);
        if (json.empty()) {
            json = "{\"change\":\"appeared\",\"macText\":\"" + mac + "\"}";
        }
        return {"appeared", mac, "10.0.0.1" + std::to_string(n), std::move(json)};
    }

    net::FakeNetwork network_;
    std::vector<std::int64_t> saidAt_;
    std::filesystem::path dir_;
    std::ostringstream err_;
};

// The environment as the hook was started with it (a shell would hide a name given twice).
TEST_F(HookRunnerTest, EnvironmentAndInputAreTheChangesInOrder) {
    ::setenv("APCTL_MAC", "from apctl's own environment", 1);
    auto runner = Script(
        "tr '\\0' '\\n' < /proc/$$/environ | grep '^APCTL_' | sort >> log\n"
        "cat >> log");
    runner->Post(Event(1));
    runner->Post({"changed", "000A1B100002", "10.0.0.99", "{\"field\":\"ipAddress\"}"});
    Settle();
    ::unsetenv("APCTL_MAC");
    EXPECT_EQ(Read("log"),
              "APCTL_ADDRESS=10.0.0.11\nAPCTL_CHANGE=appeared\nAPCTL_MAC=000A1B100001\n"
              "{\"change\":\"appeared\",\"macText\":\"000A1B100001\"}\n"
              "APCTL_ADDRESS=10.0.0.99\nAPCTL_CHANGE=changed\nAPCTL_MAC=000A1B100002\n"
              "{\"field\":\"ipAddress\"}\n");
    EXPECT_EQ(err_.str(), "");
}

// Each case runs two changes: a hook that fails, hangs or cannot start is said each time and
// never stops the next one.
TEST_F(HookRunnerTest, FailuresAndTimeOutsAreSaidAndTheNextChangeStillRuns) {
    const std::string big(1 << 20, 'x');  // more than a pipe holds
    const auto bound = apctl::kHookBound;
    const struct {
        std::vector<std::string> command;
        std::string input;
        std::chrono::milliseconds bound;
        std::string said;  // after "hook PROGRAM (appeared MAC): ", empty for nothing
    } cases[] = {
        {{"/bin/sh", "-c", "exit 3"}, "", bound, "exited with status 3"},
        {{"/bin/sh", "-c", "kill -TERM $$"}, "", bound, "ended by signal 15 (SIGTERM)"},
        {{"/bin/sh", "-c", "exec sleep 100"}, "", 200ms, "still running after 0.2 s: killed"},
        {{"/bin/sh", "-c", "exec sleep 100"}, big, 200ms, "still running after 0.2 s: killed"},
        {{"/bin/sh", "-c", "exec sleep 100"}, "", bound, "still running after 10 s: killed"},
        {{"/bin/sh", "-c", "exit 0"}, big, bound, ""},  // never reads its input: no SIGPIPE here
        {{"/nonexistent/hook"},
         "",
         bound,
         "cannot run /nonexistent/hook: No such file or directory"},
    };
    for (const auto& c : cases) {
        err_.str("");
        saidAt_.clear();
        const std::int64_t start = network_.NowMs();
        auto runner = Runner(c.command, c.bound);
        runner->Post(Event(1, c.input));
        runner->Post(Event(2, c.input));
        Settle();
        std::string expected;
        for (const char* mac : {"000A1B100001", "000A1B100002"}) {
            if (!c.said.empty()) {
                expected += "T apctl: hook " + c.command.front() + " (appeared " + mac +
                            "): " + c.said + "\n";
            }
        }
        EXPECT_EQ(err_.str(), expected) << c.command.back();
        // Killed at its bound on the layer's clock, each hook's bound its own.
        if (c.said.ends_with("killed")) {
            EXPECT_EQ(saidAt_, (std::vector<std::int64_t>{start + c.bound.count(),
                                                          start + 2 * c.bound.count()}))
                << c.command.back();
        }
    }
}

TEST_F(HookRunnerTest, ATimeOutKillsWhatTheHookStarted) {
    auto runner = Script("sleep 100 & echo $! > child; wait", 1s);
    runner->Post(Event(1));
    ASSERT_TRUE(WaitForFile("child"));
    Settle();
    EXPECT_NE(err_.str().find("killed"), std::string::npos) << err_.str();
    const pid_t child = std::stoi(Read("child"));
    bool ended = false;
    for (auto end = std::chrono::steady_clock::now() + 10s;
         !ended && std::chrono::steady_clock::now() < end; std::this_thread::sleep_for(5ms)) {
        ended = ::kill(child, 0) != 0 && errno == ESRCH;
    }
    EXPECT_TRUE(ended) << "the hook's own child " << child << " outlived it";
}

TEST_F(HookRunnerTest, FinishLetsTheRunningHookEndAndDropsTheQueue) {
    auto runner = Script("echo >> started; sleep 0.3; echo done >> log");
    for (int n = 1; n <= 3; ++n) {
        runner->Post(Event(n));
    }
    ASSERT_TRUE(WaitForFile("started"));
    runner->Finish();
    EXPECT_EQ(Read("log"), "done\n");
    EXPECT_EQ(err_.str(), "T apctl: 2 changes not passed to the hook: stopping\n");
}

TEST_F(HookRunnerTest, AFullQueueDropsTheNewestAndSaysSo) {
    auto runner =
        Script("cat >> log; while [ ! -e go ]; do sleep 0.01; done", apctl::kHookBound, 1);
    runner->Post(Event(1));
    ASSERT_TRUE(WaitForFile("log"));
    for (int n = 2; n <= 4; ++n) {
        runner->Post(Event(n));
    }
    std::ofstream(Path("go")).put('\n');
    Settle();
    EXPECT_EQ(Read("log"), Event(1).json + "\n" + Event(2).json + "\n");
    EXPECT_EQ(err_.str(), "T apctl: 2 changes not passed to the hook: its queue (1) was full\n");
}

}  // namespace
