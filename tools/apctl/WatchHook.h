#pragma once

#include <chrono>
#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <ostream>
#include <string>
#include <vector>

#include "net/SocketLayer.h"

// watch --exec: a program run once per change, one at a time, on a worker of the socket layer,
// so that a slow or stuck hook never holds up the discoveries. Its bound is measured on the
// layer's clock.
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

    // Lines go to `err` from the runner's worker, through std::osyncstream: whoever else writes
    // to it meanwhile must do the same.
    HookRunner(Settings settings, net::SocketLayer& layer, std::ostream& err);
    ~HookRunner();
    HookRunner(const HookRunner&) = delete;
    HookRunner& operator=(const HookRunner&) = delete;

    // Queues a change and returns at once; a worker runs the queue's hooks until it is empty.
    void Post(HookEvent event);
    // Lets the running hook end (within its bound), drops what still waits and says so, and
    // ends the worker. Nothing runs after it.
    void Finish();

private:
    void Work();  // until the queue is empty
    void Run(const HookEvent& event);
    void Say(const std::string& text);
    void SayDropped();  // with the mutex held

    const Settings settings_;
    net::SocketLayer& layer_;
    std::ostream& err_;
    std::mutex mutex_;
    std::deque<HookEvent> queue_;
    bool working_ = false;  // a worker is emptying the queue
    bool finishing_ = false;
    std::size_t dropped_ = 0;              // since last said
    std::unique_ptr<net::Worker> worker_;  // the last one started; the caller's thread only
};

}  // namespace apctl
