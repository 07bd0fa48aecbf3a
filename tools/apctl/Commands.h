#pragma once

#include <ostream>

#include "fleet/Session.h"
#include "tools/apctl/ApctlCommand.h"
#include "tools/apctl/ApctlRun.h"

// The commands that have no header of their own, each in the file named after it; `session`
// holds the networks chosen with --interface, --parallel and the stop. Each returns its exit status.
namespace apctl {

// apctl discover: one discovery, the records as a table, JSON or CSV.
int Discover(const Command& command, const fleet::Session& session, const RunContext& context,
             std::ostream& out, std::ostream& err);

// apctl configure: the new configuration, the reset, and with --verify the wait until it answers.
int Configure(const Command& command, const fleet::Session& session, std::ostream& out,
              std::ostream& err);

// apctl reset.
int Reset(const Command& command, const fleet::Session& session, std::ostream& out,
          std::ostream& err);

}  // namespace apctl
