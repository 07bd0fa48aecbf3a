#include "tools/apctl/Apply.h"

#include <sys/resource.h>
#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <map>
#include <utility>

#include "tools/apctl/ApctlFormat.h"
#include "tools/apctl/ApctlNetworks.h"
#include "tools/apctl/Json.h"

namespace apctl {

bool ReadPlanFile(const std::string& path, Plan* plan, std::ostream& err) {
    std::vector<std::string> errors;
    bool parsed = false;
    bool readFailed = false;
    int readError = 0;
    if (path == "-") {
        parsed = ParsePlan(std::cin, path, plan, &errors);
        readFailed = std::cin.bad();
        readError = errno;
    } else {
        struct stat status {};
        if (::stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode)) {
            err << "apctl: cannot read the plan " << Printable(path) << ": "
                << std::strerror(EISDIR) << "\n";
            return false;
        }
        std::ifstream file(path, std::ios::binary);
        if (!file) {
            err << "apctl: cannot read the plan " << Printable(path) << ": " << std::strerror(errno)
                << "\n";
            return false;
        }
        parsed = ParsePlan(file, path, plan, &errors);
        readFailed = file.bad();
        readError = errno;
    }
    if (readFailed) {
        err << "apctl: cannot read the plan " << Printable(path) << ": " << std::strerror(readError)
            << "\n";
        return false;
    }
    for (const std::string& error : errors) {
        err << error << "\n";
    }
    if (!parsed) {
        err << "apctl: " << errors.size() << (errors.size() == 1 ? " error" : " errors")
            << " in the plan; nothing was sent\n";
    }
    return parsed;
}

}  // namespace apctl

namespace fleet {

// A plan row as apply --dry-run --json prints it; found by nlohmann's lookup next to the type.
void to_json(apctl::Json& json, const PlanRow& row) {
    const auto address = [&](const std::string& text) {
        return row.dhcpClient ? apctl::Json() : apctl::JsonFromLatin1(text);
    };
    json = {{"line", row.line},
            {"macText", apctl::JsonFromLatin1(row.macText)},
            {"mode", row.dhcpClient ? "dhcp" : "fixed"},
            {"ipAddress", address(row.ipAddress)},
            {"subnetMask", address(row.subnetMask)},
            {"gateway", address(row.gateway)},
            {"dnsServer", address(row.dnsServer)}};
}

// A row's outcome as apply --json prints it: the row's line, MAC and mode before it.
void to_json(apctl::Json& json, const std::pair<const PlanRow&, const RowResult&>& outcome) {
    const auto& [row, result] = outcome;
    json = {
        {"line", row.line},
        {"macText", apctl::JsonFromLatin1(row.macText)},
        {"mode", row.dhcpClient ? "dhcp" : "fixed"},
        {"planned", row.dhcpClient ? apctl::Json() : apctl::JsonFromLatin1(row.ipAddress)},
        {"outcome", RowOutcomeName(result.outcome)},
        {"address", result.address.empty() ? apctl::Json() : apctl::JsonFromLatin1(result.address)},
        {"seconds", result.seconds < 0 ? apctl::Json() : apctl::Json(result.seconds)},
        {"message", apctl::LocalTextValue(result.message)}};
}

}  // namespace fleet

namespace apctl {

void PrintDryRun(const Command& command, const Plan& plan, std::ostream& out) {
    if (command.format == OutputFormat::kJson) {
        out << JsonArrayLines(Json(plan.rows));
        return;
    }
    std::vector<std::vector<std::string>> rows;
    rows.push_back({"Line", "MAC", "Mode", "IP Address", "Subnet Mask", "Gateway", "DNS Server"});
    for (const PlanRow& row : plan.rows) {
        rows.push_back({std::to_string(row.line), row.macText, row.dhcpClient ? "dhcp" : "fixed",
                        row.ipAddress, row.subnetMask, row.gateway, row.dnsServer});
    }
    out << AlignColumns(rows) << plan.rows.size() << (plan.rows.size() == 1 ? " row" : " rows")
        << " checked, nothing sent. apply discovers once, leaves each access point that already\n"
           "answers from its fixed address unchanged, and configures, resets and verifies the "
           "others\n(within "
        << SecondsText(command.verifySeconds) << " s each), one after the other.\n";
}

namespace {

using fleet::RowOutcome;
using fleet::RowOutcomeName;
using fleet::RowResult;

std::string ProgressText(const RowResult& result) {
    switch (result.outcome) {
        case RowOutcome::kChanged:
            return result.message;
        case RowOutcome::kSkipped:
            return "skipped";
        default:
            return std::string(RowOutcomeName(result.outcome)) + ": " + result.message;
    }
}

// The progress on standard error, each step flushed as it ends: a person watches it.
class ProgressPrinter final : public fleet::ApplyProgress {
public:
    explicit ProgressPrinter(std::ostream& err) : err_(err) {}

    void DiscoveryStarted() override { err_ << "discovery ... " << std::flush; }

    void Discovered(const fleet::DiscoveryRun& run, bool stopped) override {
        switch (run.status) {
            case fleet::DiscoveryRun::Status::kListingFailed:
                err_ << "\n" << DiscoveryFailureText(run);
                return;
            case fleet::DiscoveryRun::Status::kExchangeFailed:
                err_ << "failed\n";
                WarnKernelDrops(run.report.addresses, err_);
                err_ << DiscoveryFailureText(run);
                return;
            case fleet::DiscoveryRun::Status::kCompleted:
                break;
        }
        if (stopped) {
            err_ << "stopped\n";
            return;
        }
        const std::size_t count = run.records.size();
        err_ << count << (count == 1 ? " access point answers" : " access points answer") << "\n";
        WarnKernelDrops(run.report.addresses, err_);
    }

    void RowStarted(std::size_t index, std::size_t total, const PlanRow& row) override {
        err_ << "[" << (index + 1) << "/" << total << "] " << row.macText << " " << PlannedText(row)
             << " ... " << std::flush;
    }

    void RowDone(const RowResult& result) override {
        err_ << ProgressText(result) << "\n";
        WarnKernelDrops(result.kernelDrops, err_);
        err_ << std::flush;
    }

    void Stopped(std::size_t skipped) override {
        err_ << "apctl: stopped; " << skipped
             << (skipped == 1 ? " row skipped\n" : " rows skipped\n");
    }

private:
    std::ostream& err_;
};

void PrintSummary(const Command& command, const Plan& plan, const std::vector<RowResult>& results,
                  std::ostream& out) {
    if (command.format == OutputFormat::kJson) {
        Json rows = Json::array();
        for (std::size_t i = 0; i < results.size(); ++i) {
            rows.push_back(std::pair<const PlanRow&, const RowResult&>(plan.rows[i], results[i]));
        }
        out << JsonArrayLines(rows);
        return;
    }
    std::vector<std::vector<std::string>> rows;
    rows.push_back({"MAC", "Planned", "Outcome", "Address Now"});
    for (std::size_t i = 0; i < results.size(); ++i) {
        const RowResult& result = results[i];
        rows.push_back({plan.rows[i].macText, PlannedText(plan.rows[i]),
                        RowOutcomeName(result.outcome),
                        result.address.empty() ? "-" : Printable(result.address)});
    }
    out << AlignColumns(rows);
}

// "30 rows: 28 changed, 1 unchanged, 1 failed"
std::string CountsText(const std::vector<RowResult>& results) {
    std::string text = std::to_string(results.size()) + (results.size() == 1 ? " row:" : " rows:");
    const char* separator = " ";
    for (const RowOutcome outcome :
         {RowOutcome::kChanged, RowOutcome::kWouldChange, RowOutcome::kUnchanged,
          RowOutcome::kFailed, RowOutcome::kNotFound, RowOutcome::kNotSeen, RowOutcome::kConflict,
          RowOutcome::kSkipped}) {
        const auto count = std::count_if(results.begin(), results.end(),
                                         [&](const RowResult& r) { return r.outcome == outcome; });
        if (count > 0) {
            text += separator + std::to_string(count) + " " + RowOutcomeName(outcome);
            separator = ", ";
        }
    }
    return text;
}

}  // namespace

int ApplyPlan(const Command& command, const Plan& plan, const fleet::Session& session,
              std::ostream& out, std::ostream& err) {
    ProgressPrinter progress(err);
    fleet::ApplyOptions options;
    options.verifySeconds = command.verifySeconds;
    options.jobs = command.jobs;
    if (options.jobs > 1) {
        options.jobs = JobsWithinFileLimit(options.jobs, session.networks.size(), err);
    }
    const std::vector<RowResult> results = fleet::ApplyPlan(session, plan, options, progress);
    PrintSummary(command, plan, results, out);
    out << std::flush;
    err << CountsText(results) << "\n";
    return fleet::AllDone(results) ? kExitSuccess : kExitFailed;
}

int CheckPlan(const Command& command, const Plan& plan, const fleet::Session& session,
              std::ostream& out, std::ostream& err) {
    ProgressPrinter progress(err);
    std::vector<RowResult> results;
    const bool discovered = fleet::CheckPlan(session, plan, progress, &results);
    PrintSummary(command, plan, results, out);
    out << std::flush;
    err << CountsText(results) << "\n";
    return discovered ? kExitSuccess : kExitFailed;
}

int JobsWithinFileLimit(int jobs, std::size_t networks, std::ostream& err) {
    // A row in flight holds one socket at a time; the verification's discovery one per network,
    // and the process a few files besides.
    constexpr rlim_t kBesides = 16;
    const rlim_t wanted = static_cast<rlim_t>(jobs) + std::max<rlim_t>(networks, 10) + kBesides;
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur >= wanted) {
        return jobs;
    }
    const rlim_t hard = limit.rlim_max;
    limit.rlim_cur = std::min(wanted, hard);
    const bool raised = ::setrlimit(RLIMIT_NOFILE, &limit) == 0;
    if (raised && limit.rlim_cur >= wanted) {
        return jobs;
    }
    rlimit now{};
    ::getrlimit(RLIMIT_NOFILE, &now);
    const rlim_t room = now.rlim_cur > wanted - static_cast<rlim_t>(jobs)
                            ? now.rlim_cur - (wanted - static_cast<rlim_t>(jobs))
                            : 1;
    const int bounded = static_cast<int>(std::max<rlim_t>(1, std::min<rlim_t>(room, jobs)));
    err << "apctl: --jobs " << jobs << " lowered to " << bounded << ": the open-file limit is "
        << now.rlim_cur << "\n";
    return bounded;
}

}  // namespace apctl
