#pragma once

#include <cstddef>
#include <istream>
#include <string>
#include <vector>

// A plan: which access point gets which configuration, read from CSV and checked whole before
// anything is sent.
namespace fleet {

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

// "dhcp" or "fixed 10.0.0.11".
std::string PlannedText(const PlanRow& row);

}  // namespace fleet
