#include "fleet/Apply.h"

#include <algorithm>
#include <map>

#include "config/ConfigExchange.h"
#include "discovery/FieldText.h"
#include "fleet/Verify.h"

namespace fleet {

namespace {

// Where each MAC answered in the discovery before the first row.
using Sightings = std::map<std::string, std::string>;

// The one decision apply makes without sending: the row is done already. Discovery shows an
// access point's address but neither its mask, gateway and DNS server nor whether it is a DHCP
// client. So only a fixed row can be seen to be done already; a DHCP row is always sent, and its
// access point restarts and may take a new lease.
bool AlreadyDone(const PlanRow& row, const Sightings& seen, RowResult* result) {
    const auto sighting = seen.find(row.macText);
    if (sighting == seen.end()) {
        return false;
    }
    result->address = sighting->second;
    if (row.dhcpClient || sighting->second != row.ipAddress) {
        return false;
    }
    result->outcome = RowOutcome::kUnchanged;
    result->message = "already answers at " + row.ipAddress;
    return true;
}

RowResult ApplyRow(const PlanRow& row, const ExchangeOptions& networks, double verifySeconds,
                   const Sightings& seen) {
    RowResult result;
    if (AlreadyDone(row, seen, &result)) {
        return result;
    }
    const bool wasSeen = seen.count(row.macText) != 0;
    const RowOutcome failed = wasSeen ? RowOutcome::kFailed : RowOutcome::kNotFound;
    const std::string unseen = wasSeen ? "" : "not seen in the discovery; ";
    // Never cancelled: an access point left between its configuration and its reset would hold
    // settings it was never told to use.
    ExchangeReport report;
    ExchangeOptions exchange = networks;
    exchange.cancel = nullptr;
    exchange.report = &report;
    const char* const nullText = "NULL";
    const ConfigureOutcome configured =
        row.dhcpClient ? ConfigureAndResetWith(exchange, 1, row.macText.c_str(), nullText, nullText,
                                               nullText, nullText)
                       : ConfigureAndResetWith(exchange, 0, row.macText.c_str(),
                                               row.ipAddress.c_str(), row.subnetMask.c_str(),
                                               row.gateway.c_str(), row.dnsServer.c_str());
    if (configured != ConfigureOutcome::kSuccess) {
        const std::string what = configured == ConfigureOutcome::kSetFailed
                                     ? "the configuration request"
                                     : "the reset request";
        const AddressExchange* failure = report.Failure();
        result.outcome = failed;
        result.message = unseen + (failure != nullptr ? FailureText(what, *failure)
                                                      : what + " was not acknowledged");
        return result;
    }
    // The row is finished even when a stop is asked for meanwhile, so that its outcome is known.
    const std::string expected = row.dhcpClient ? "" : row.ipAddress;
    const VerifyResult verified =
        WaitUntilItAnswers(row.macText, expected, networks, verifySeconds, nullptr);
    result.seconds = verified.seconds;
    result.kernelDrops = verified.kernelDrops;
    std::string text = VerifyText(row.macText, expected, verifySeconds, verified);
    if (text.compare(0, row.macText.size() + 1, row.macText + " ") == 0) {
        text.erase(0, row.macText.size() + 1);
    }
    if (verified.outcome == VerifyResult::Outcome::kAnswers) {
        result.outcome = RowOutcome::kChanged;
        result.address = verified.address;
        result.message = text;
    } else {
        result.outcome = failed;
        result.address = verified.seenAt.empty() ? "" : verified.seenAt.back();
        result.message = unseen + text;
    }
    return result;
}

RowResult CheckRow(const PlanRow& row, const Sightings& seen) {
    RowResult result;
    if (AlreadyDone(row, seen, &result)) {
        return result;
    }
    if (result.address.empty()) {
        result.outcome = RowOutcome::kNotSeen;
        result.message = "not seen in the discovery";
    } else {
        result.outcome = RowOutcome::kWouldChange;
        result.message = row.dhcpClient
                             ? "answers at " + result.address + "; a DHCP row is always sent"
                             : "answers at " + result.address + ", not at " + row.ipAddress;
    }
    return result;
}

// The discovery before the first row. False when it failed or was stopped: no row can then be
// known to be done already.
bool DiscoverBeforeRows(const Plan& plan, const ExchangeOptions& networks,
                        const std::atomic<bool>* stop, ApplyProgress& progress, Sightings* seen,
                        std::vector<RowResult>* results) {
    results->assign(plan.rows.size(), RowResult{});
    progress.DiscoveryStarted();
    const DiscoveryRun run = Discover(networks, stop);
    const bool stopped =
        run.status == DiscoveryRun::Status::kCompleted && stop != nullptr && stop->load();
    progress.Discovered(run, stopped);
    if (run.status != DiscoveryRun::Status::kCompleted || stopped) {
        return false;
    }
    for (const DeviceRecord& record : run.records) {
        seen->emplace(FieldText(record.macText), FieldText(record.ipAddress));
    }
    // A row skipped by a stop is where the discovery saw it.
    for (std::size_t i = 0; i < plan.rows.size(); ++i) {
        if (const auto sighting = seen->find(plan.rows[i].macText); sighting != seen->end()) {
            (*results)[i].address = sighting->second;
        }
    }
    return true;
}

}  // namespace

const char* RowOutcomeName(RowOutcome outcome) {
    switch (outcome) {
        case RowOutcome::kChanged:
            return "changed";
        case RowOutcome::kUnchanged:
            return "unchanged";
        case RowOutcome::kFailed:
            return "failed";
        case RowOutcome::kNotFound:
            return "not found";
        case RowOutcome::kWouldChange:
            return "would change";
        case RowOutcome::kNotSeen:
            return "not seen";
        case RowOutcome::kSkipped:
            break;
    }
    return "skipped";
}

std::vector<RowResult> ApplyPlan(const Plan& plan, const ExchangeOptions& networks,
                                 double verifySeconds, const std::atomic<bool>* stop,
                                 ApplyProgress& progress) {
    const auto stopRequested = [stop] { return stop != nullptr && stop->load(); };
    std::vector<RowResult> results;
    Sightings seen;
    if (!DiscoverBeforeRows(plan, networks, stop, progress, &seen, &results)) {
        return results;
    }
    const std::size_t total = plan.rows.size();
    for (std::size_t i = 0; i < total; ++i) {
        // Rows are only ever stopped between them, never one half done.
        if (stopRequested()) {
            progress.Stopped(total - i);
            break;
        }
        progress.RowStarted(i, total, plan.rows[i]);
        results[i] = ApplyRow(plan.rows[i], networks, verifySeconds, seen);
        progress.RowDone(results[i]);
    }
    return results;
}

bool CheckPlan(const Plan& plan, const ExchangeOptions& networks, const std::atomic<bool>* stop,
               ApplyProgress& progress, std::vector<RowResult>* results) {
    Sightings seen;
    if (!DiscoverBeforeRows(plan, networks, stop, progress, &seen, results)) {
        return false;
    }
    const std::size_t total = plan.rows.size();
    for (std::size_t i = 0; i < total; ++i) {
        progress.RowStarted(i, total, plan.rows[i]);
        (*results)[i] = CheckRow(plan.rows[i], seen);
        progress.RowDone((*results)[i]);
    }
    return true;
}

bool AllDone(const std::vector<RowResult>& results) {
    return std::all_of(results.begin(), results.end(), [](const RowResult& result) {
        return result.outcome == RowOutcome::kChanged || result.outcome == RowOutcome::kUnchanged;
    });
}

}  // namespace fleet
