#pragma once

#include <chrono>
#include <functional>
#include <ostream>
#include <string>

#include "discovery/Exchange.h"
#include "fleet/WatchChanges.h"
#include "tools/apctl/ApctlCommand.h"
#include "tools/apctl/ApctlRun.h"

namespace apctl {

using fleet::kAbsencesBeforeGone;

// What a test or a benchmark puts around a watch.
struct WatchHooks {
    // The time each change is stamped with; by default the UTC wall clock in ISO 8601, to the
    // second.
    std::function<std::string()> timestamp;
    // Called after each discovery has been compared (1 for the first), before the pause.
    std::function<void(int discovery)> afterDiscovery;
    // The Unix time in seconds that --textfile's metrics give; by default the wall clock's.
    std::function<double()> seconds = {};
    // How long an --exec hook may run before it is killed.
    std::chrono::milliseconds hookBound{10000};
};

// apctl watch: discovery after discovery on the networks of `options`, one line per change,
// until the context's stop flag is set. Exit 0 when stopped, 1 when standard output is gone.
int Watch(const Command& command, const ExchangeOptions& options, const RunContext& context,
          std::ostream& out, std::ostream& err);
int Watch(const Command& command, const ExchangeOptions& options, const RunContext& context,
          std::ostream& out, std::ostream& err, const WatchHooks& hooks);

}  // namespace apctl
