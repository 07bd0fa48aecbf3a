#include "fleet/Apply.h"

#include <algorithm>

#include "discovery/FieldText.h"
#include "fleet/ApplyRows.h"
#include "fleet/Configure.h"
#include "fleet/Text.h"

namespace fleet {

namespace rows {

std::string ExpectedAddress(const PlanRow& row) {
    return row.dhcpClient ? "" : row.ipAddress;
}

// Discovery shows an access point's address but neither its mask, gateway and DNS server nor
// whether it is a DHCP client. So only a fixed row can be seen to be done already; a DHCP row is
// always sent, and its access point restarts and may take a new lease. A fixed address that an
// access point the plan leaves alone answers from would give two of them one address.
bool DecidedWithoutSending(const PlanRow& row, const Fleet& fleet, RowResult* result) {
    const auto sighting = fleet.byMac.find(row.macText);
    if (sighting != fleet.byMac.end()) {
        result->address = sighting->second.address;
        if (!row.dhcpClient && sighting->second.address == row.ipAddress) {
            result->outcome = RowOutcome::kUnchanged;
            result->message = "already answers at " + row.ipAddress;
            return true;
        }
    }
    if (row.dhcpClient) {
        return false;
    }
    const auto other = fleet.unplannedByAddress.find(row.ipAddress);
    if (other == fleet.unplannedByAddress.end()) {
        return false;
    }
    result->outcome = RowOutcome::kConflict;
    result->message =
        row.ipAddress + " is the address of " + other->second + ", which the plan does not move";
    return true;
}

bool SendRow(const Session& session, const PlanRow& row, const Fleet& fleet, RowResult* result) {
    const auto sighting = fleet.byMac.find(row.macText);
    const bool wasSeen = sighting != fleet.byMac.end();
    Route route;
    if (wasSeen) {
        route.first = sighting->second.local;
    }
    const ConfigureResult configured = Configure(session, row, route);
    result->requestsSent = configured.requestsSent;
    if (configured.outcome == ConfigureResult::Outcome::kConfigured) {
        return true;
    }
    result->outcome = wasSeen ? RowOutcome::kFailed : RowOutcome::kNotFound;
    result->message =
        (wasSeen ? "" : "not seen in the discovery; ") + ConfigureFailureText(configured);
    return false;
}

void TakeVerification(const PlanRow& row, const Fleet& fleet, double verifySeconds,
                      const VerifyResult& verified, RowResult* result) {
    const bool wasSeen = fleet.byMac.count(row.macText) != 0;
    result->seconds = verified.seconds;
    result->kernelDrops = verified.kernelDrops;
    std::string text = VerifyText(row.macText, ExpectedAddress(row), verifySeconds, verified);
    if (text.compare(0, row.macText.size() + 1, row.macText + " ") == 0) {
        text.erase(0, row.macText.size() + 1);
    }
    if (verified.outcome == VerifyResult::Outcome::kAnswers) {
        result->outcome = RowOutcome::kChanged;
        result->address = verified.address;
        result->message = text;
    } else {
        result->outcome = wasSeen ? RowOutcome::kFailed : RowOutcome::kNotFound;
        result->address = verified.seenAt.empty() ? "" : verified.seenAt.back();
        result->message = (wasSeen ? "" : "not seen in the discovery; ") + text;
    }
}

namespace {

std::optional<net::LocalAddress> LocalNamed(const DiscoveryRun& run, const std::string& text) {
    for (const AddressExchange& exchange : run.report.addresses) {
        if (AddressText(exchange.local.address) == text) {
            return exchange.local;
        }
    }
    return std::nullopt;
}

void TakeFleet(const Plan& plan, const DiscoveryRun& run, Fleet* fleet) {
    for (const DeviceRecord& record : run.records) {
        const std::string mac = FieldText(record.macText);
        fleet->byMac.emplace(mac, Fleet::Sighting{FieldText(record.ipAddress),
                                                  LocalNamed(run, FieldText(record.localAddress))});
    }
    for (const auto& entry : fleet->byMac) {
        const std::string& mac = entry.first;
        const bool planned = std::any_of(plan.rows.begin(), plan.rows.end(),
                                         [&](const PlanRow& row) { return row.macText == mac; });
        if (!planned) {
            fleet->unplannedByAddress.emplace(entry.second.address, mac);
        }
    }
}

}  // namespace

bool DiscoverBeforeRows(const Session& session, const Plan& plan, ApplyProgress& progress,
                        Fleet* fleet, std::vector<RowResult>* results) {
    results->assign(plan.rows.size(), RowResult{});
    progress.DiscoveryStarted();
    const DiscoveryRun run = Discover(session);
    const bool stopped = run.status == DiscoveryRun::Status::kCompleted && session.Stopped();
    progress.Discovered(run, stopped);
    if (run.status != DiscoveryRun::Status::kCompleted || stopped) {
        return false;
    }
    TakeFleet(plan, run, fleet);
    // A row skipped by a stop is where the discovery saw it.
    for (std::size_t i = 0; i < plan.rows.size(); ++i) {
        if (const auto sighting = fleet->byMac.find(plan.rows[i].macText);
            sighting != fleet->byMac.end()) {
            (*results)[i].address = sighting->second.address;
        }
    }
    return true;
}

}  // namespace rows

namespace {

using rows::Fleet;

RowResult ApplyRow(const Session& session, const PlanRow& row, const Fleet& fleet,
                   double verifySeconds) {
    RowResult result;
    if (rows::DecidedWithoutSending(row, fleet, &result) ||
        !rows::SendRow(session, row, fleet, &result)) {
        return result;
    }
    // The row is finished even when a stop is asked for meanwhile, so that its outcome is known.
    Session untilKnown = session;
    untilKnown.stop = nullptr;
    const VerifyResult verified =
        WaitUntilItAnswers(untilKnown, row.macText, rows::ExpectedAddress(row), verifySeconds);
    rows::TakeVerification(row, fleet, verifySeconds, verified, &result);
    return result;
}

RowResult CheckRow(const PlanRow& row, const Fleet& fleet) {
    RowResult result;
    if (rows::DecidedWithoutSending(row, fleet, &result)) {
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

// Conflicts are decided for the whole plan before any row is sent, so that no access point is
// changed by a plan that cannot be carried out as written; they and the rows already done are
// told first. The others are sent side by side.
std::vector<RowResult> ApplySideBySide(const Session& session, const Plan& plan, const Fleet& fleet,
                                       const ApplyOptions& options, ApplyProgress& progress,
                                       std::vector<RowResult> results) {
    const std::size_t total = plan.rows.size();
    std::vector<std::size_t> toSend;
    for (std::size_t i = 0; i < total; ++i) {
        if (rows::DecidedWithoutSending(plan.rows[i], fleet, &results[i])) {
            progress.RowFinished(i, total, plan.rows[i], results[i]);
        } else {
            toSend.push_back(i);
        }
    }
    rows::SendSideBySide(session, plan, fleet, toSend, options, progress, &results);
    return results;
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
        case RowOutcome::kConflict:
            return "conflict";
        case RowOutcome::kSkipped:
            break;
    }
    return "skipped";
}

std::vector<RowResult> ApplyPlan(const Session& session, const Plan& plan,
                                 const ApplyOptions& options, ApplyProgress& progress) {
    std::vector<RowResult> results;
    Fleet fleet;
    if (!rows::DiscoverBeforeRows(session, plan, progress, &fleet, &results)) {
        return results;
    }
    if (options.jobs > 1) {
        return ApplySideBySide(session, plan, fleet, options, progress, std::move(results));
    }
    const std::size_t total = plan.rows.size();
    for (std::size_t i = 0; i < total; ++i) {
        // Rows are only ever stopped between them, never one half done.
        if (session.Stopped()) {
            progress.Stopped(total - i);
            break;
        }
        progress.RowStarted(i, total, plan.rows[i]);
        results[i] = ApplyRow(session, plan.rows[i], fleet, options.verifySeconds);
        progress.RowDone(results[i]);
    }
    return results;
}

bool CheckPlan(const Session& session, const Plan& plan, ApplyProgress& progress,
               std::vector<RowResult>* results) {
    Fleet fleet;
    if (!rows::DiscoverBeforeRows(session, plan, progress, &fleet, results)) {
        return false;
    }
    const std::size_t total = plan.rows.size();
    for (std::size_t i = 0; i < total; ++i) {
        progress.RowStarted(i, total, plan.rows[i]);
        (*results)[i] = CheckRow(plan.rows[i], fleet);
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
