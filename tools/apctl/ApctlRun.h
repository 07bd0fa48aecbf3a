#pragma once

#include <atomic>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "tools/apctl/ApctlCommand.h"

namespace apctl {

inline constexpr int kExitSuccess = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsage = 2;

// What apctl takes from the process around it; tests put their own in.
struct RunContext {
    // Set when the user asks a long-running command to stop.
    const std::atomic<bool>* stop = nullptr;
    // Called by the commands that run until stopped, before they start.
    std::function<void()> catchStopSignals;
    // The effective reverse-path filter setting of an interface (the larger of "all" and the
    // interface's own), or -1 when it cannot be read.
    std::function<int(const std::string& interfaceName)> reversePathFilter;
};

// Runs apctl over the installed socket layer: parses the arguments, carries out the command and
// returns the exit status. Results go to `out`, diagnostics and failed outcomes to `err`.
int Run(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err);
int Run(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err,
        const RunContext& context);

}  // namespace apctl
