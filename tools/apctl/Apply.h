#pragma once

#include <cstddef>
#include <istream>
#include <ostream>
#include <string>
#include <vector>

#include "fleet/Apply.h"
#include "fleet/Plan.h"
#include "fleet/Session.h"
#include "tools/apctl/ApctlCommand.h"
#include "tools/apctl/ApctlRun.h"

// apctl apply: re-addressing a fleet from a plan, one access point after the other or --jobs at
// once.
namespace apctl {

using fleet::kPlanByteLimit;
using fleet::kPlanLineLimit;
using fleet::kPlanRowLimit;
using fleet::ParsePlan;
using fleet::Plan;
using fleet::PlannedText;
using fleet::PlanRow;

// ParsePlan on a file, or on standard input for "-"; the errors go to `err`.
bool ReadPlanFile(const std::string& path, Plan* plan, std::ostream& err);

// apply --dry-run: what would be done, sending nothing.
void PrintDryRun(const Command& command, const Plan& plan, std::ostream& out);

// Carries the plan out in the session and prints the summary. Exit 0 when every row is changed
// or unchanged, 1 otherwise.
int ApplyPlan(const Command& command, const Plan& plan, const fleet::Session& session,
              std::ostream& out, std::ostream& err);

// apply --check: one discovery, then what ApplyPlan would do with each row, sending nothing else.
// Exit 0 whatever it predicts, 1 when the discovery failed.
int CheckPlan(const Command& command, const Plan& plan, const fleet::Session& session,
              std::ostream& out, std::ostream& err);

// The jobs that the open-file limit allows, having raised the soft limit to the hard one where
// that is needed; a lower number than asked for is said on `err`.
int JobsWithinFileLimit(int jobs, std::size_t networks, std::ostream& err);

}  // namespace apctl
