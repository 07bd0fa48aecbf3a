#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

// watch --exec: a program run once per change, one at a time, on a thread of its own, so that a
// slow or stuck hook never holds up the discoveries.
namespace apctl {

inline constexpr std::chrono::milliseconds kHookBound{10000};
inline constexpr std::size_t kHookQueueLimit = 1000;

// Splits --exec's value into the program and its arguments, without a shell: words are separated
// by spaces or tabs; '...' or "..." keeps what is inside as it is, spaces and the other quote
// included, and joins the word it touches. Nothing else is special: no escapes, variables or
// wildcards (whoever wants them writes sh -c '...'). False with a message when there is no word
// or a quote is not closed.
bool SplitHookCommand(const std::string& text, std::vector<std::string>* words, std::string* error);

// One change, as the hook receives it.
struct HookEvent {
    std::string change;   // appeared, gone or changed: APCTL_CHANGE
    std::string macText;  // APCTL_MAC
    std::string address;  // APCTL_ADDRESS: the current address (the new one after a change)
    std::string json;     // standard input: the change as watch --json prints it, one line
};

class HookRunner {
public:
    struct Settings {
        std::vector<std::string> command;  // the program (searched on PATH) and its arguments
        // How long a hook may take, writing its input and waiting for it included; then its
        // process group is killed.
        std::chrono::milliseconds bound = kHookBound;
        // Changes waiting beyond this many are dropped, and that is said.
        std::size_t queueLimit = kHookQueueLimit;
        // The time on each line said on `err`.
        std::function<std::string()> timestamp;
    };

    // Lines go to `err` from the runner's own thread, through std::osyncstream: whoever else
    // writes to it meanwhile must do the same.
    HookRunner(Settings settings, std::ostream& err);
    ~HookRunner();
    HookRunner(const HookRunner&) = delete;
    HookRunner& operator=(const HookRunner&) = delete;

    // Queues a change and returns at once.
    void Post(HookEvent event);
    // Lets the running hook end (within its bound), drops what still waits and says so, and
    // ends the thread. Nothing runs after it.
    void Finish();
    // For tests: true once nothing waits and nothing runs, false when `timeout` ran out first.
    bool WaitIdle(std::chrono::milliseconds timeout);

private:
    void Work();
    void Run(const HookEvent& event);
    void Say(const std::string& text);
    void SayDropped();  // with the mutex held

    const Settings settings_;
    std::ostream& err_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<HookEvent> queue_;
    bool running_ = false;
    bool finishing_ = false;
    std::size_t dropped_ = 0;  // since last said
    std::thread worker_;
};

}  // namespace apctl
