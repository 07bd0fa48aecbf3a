#pragma once

#include <cstddef>
#include <istream>
#include <ostream>
#include <string>
#include <vector>

#include "discovery/Exchange.h"
#include "fleet/Apply.h"
#include "fleet/Plan.h"
#include "tools/apctl/ApctlCommand.h"
#include "tools/apctl/ApctlRun.h"

// apctl apply: re-addressing a fleet from a plan, one access point after the other.
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

// Carries the plan out on the networks of `options` and prints the summary. Exit 0 when every
// row is changed or unchanged, 1 otherwise.
int ApplyPlan(const Command& command, const Plan& plan, const ExchangeOptions& options,
              const RunContext& context, std::ostream& out, std::ostream& err);

// apply --check: one discovery, then what ApplyPlan would do with each row, sending nothing else.
// Exit 0 whatever it predicts, 1 when the discovery failed.
int CheckPlan(const Command& command, const Plan& plan, const ExchangeOptions& options,
              const RunContext& context, std::ostream& out, std::ostream& err);

}  // namespace apctl
