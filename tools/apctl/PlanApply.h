#pragma once

#include <cstddef>
#include <istream>
#include <ostream>
#include <string>
#include <vector>

#include "discovery/Exchange.h"
#include "tools/apctl/ApctlCommand.h"
#include "tools/apctl/ApctlRun.h"

// apctl apply: re-addressing a fleet from a plan, one access point after the other.
namespace apctl {

// A plan is read whole before anything is sent, so its size is bounded: far more rows than any
// discovery can list, and lines far longer than any valid row.
inline constexpr std::size_t kPlanRowLimit = 4096;
inline constexpr std::size_t kPlanLineLimit = 1024;
inline constexpr std::size_t kPlanByteLimit = std::size_t{4} << 20;

struct PlanRow {
    int line = 0;         // in the plan file, from 1
    std::string macText;  // 12 upper-case hexadecimal digits
    bool dhcpClient = false;
    // Empty for DHCP; otherwise as the access point reports them: decimal octets without leading
    // zeros.
    std::string ipAddress, subnetMask, gateway, dnsServer;
};

struct Plan {
    std::string source;  // the file name as given, "-" for standard input
    std::vector<PlanRow> rows;
};

// Reads a CSV plan (header mac,mode,ip,mask,gateway,dns; blank lines and lines starting with #
// skipped). Every error is added as "SOURCE:LINE: FIELD: what is wrong"; false when there is any.
bool ParsePlan(std::istream& in, const std::string& source, Plan* plan,
               std::vector<std::string>* errors);

// ParsePlan on a file, or on standard input for "-"; the errors go to `err`.
bool ReadPlanFile(const std::string& path, Plan* plan, std::ostream& err);

// apply --dry-run: what would be done, sending nothing.
void PrintDryRun(const Command& command, const Plan& plan, std::ostream& out);

// Carries the plan out on the networks of `options` and prints the summary. Exit 0 when every
// row is changed or unchanged, 1 otherwise.
int ApplyPlan(const Command& command, const Plan& plan, const ExchangeOptions& options,
              const RunContext& context, std::ostream& out, std::ostream& err);

}  // namespace apctl
