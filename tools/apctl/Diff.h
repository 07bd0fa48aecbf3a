#pragma once

#include <ostream>

#include "tools/apctl/ApctlCommand.h"

namespace apctl {

// apctl diff OLD NEW (either may be - for standard input): exit 0 nothing changed, 1 something
// did, 2 a file that cannot be read or is not a saved discovery, or output that could not be
// written. Sends nothing.
int Diff(const Command& command, std::ostream& out, std::ostream& err);

}  // namespace apctl
