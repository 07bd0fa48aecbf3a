#pragma once

#include <ostream>

#include "discovery/Exchange.h"
#include "tools/apctl/ApctlCommand.h"
#include "tools/apctl/ApctlRun.h"

namespace apctl {

// apctl watch: discovery after discovery on the networks of `options`, one line per change,
// until the context's stop flag is set. Exit 0 when stopped.
int Watch(const Command& command, const ExchangeOptions& options, const RunContext& context,
          std::ostream& out, std::ostream& err);

}  // namespace apctl
