#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "tools/apctl/ApctlCommand.h"

namespace apctl {

inline constexpr int kExitSuccess = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsage = 2;

// Runs apctl over the installed socket layer: parses the arguments, carries out the command and
// returns the exit status. Results go to `out`, errors and failed outcomes to `err`.
int Run(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err);

}  // namespace apctl
