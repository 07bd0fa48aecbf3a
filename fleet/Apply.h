#pragma once

#include <atomic>
#include <cstddef>
#include <string>
#include <vector>

#include "discovery/Exchange.h"
#include "fleet/Discovery.h"
#include "fleet/Plan.h"
#include "fleet/Session.h"

// Carrying a plan out: one discovery, then each row configured, reset and verified unless it
// already answers from its fixed address or would take the address of an access point the plan
// leaves where it is. Rows run one after the other, or up to `jobs` at once. A stop is taken
// between rows only: a row begun is finished.
namespace fleet {

// kWouldChange and kNotSeen are predictions only, made by CheckPlan: nothing was sent to find
// them. kConflict is decided from the discovery, by both, and nothing is sent for such a row.
enum class RowOutcome {
    kChanged,
    kUnchanged,
    kFailed,
    kNotFound,
    kSkipped,
    kWouldChange,
    kNotSeen,
    kConflict
};

// "changed", "unchanged", "failed", "not found", "skipped", "would change", "not seen",
// "conflict".
const char* RowOutcomeName(RowOutcome outcome);

struct RowResult {
    RowOutcome outcome = RowOutcome::kSkipped;
    // Where it answers now as far as apply has seen; empty when unknown.
    std::string address;
    std::string message;
    double seconds = -1;                       // from its reset until it answered
    std::vector<AddressExchange> kernelDrops;  // of its verification's discoveries
    int requestsSent = 0;                      // configuration and reset requests
};

inline constexpr int kMostJobs = 256;

struct ApplyOptions {
    double verifySeconds = 90;
    // Rows between their configuration request and their reset's acknowledgement at once; 1
    // runs each row, verification included, before the next.
    int jobs = 1;
};

// What the engine tells its caller as it goes, each call before the work it names or after it.
class ApplyProgress {
public:
    virtual ~ApplyProgress() = default;
    virtual void DiscoveryStarted() {}
    // `stopped`: the stop came during the discovery, so no row is sent.
    virtual void Discovered(const DiscoveryRun& /*run*/, bool /*stopped*/) {}
    virtual void RowStarted(std::size_t /*index*/, std::size_t /*total*/, const PlanRow& /*row*/) {}
    virtual void RowDone(const RowResult& /*result*/) {}
    // With more than one job: a row's outcome, as soon as it is known (rows finish in any order).
    virtual void RowFinished(std::size_t index, std::size_t total, const PlanRow& row,
                             const RowResult& result) {
        RowStarted(index, total, row);
        RowDone(result);
    }
    // With more than one job: the discovery that looks, for every row waiting, whether it answers.
    virtual void VerificationRound(std::size_t /*waitingRows*/) {}
    virtual void Stopped(std::size_t /*skippedRows*/) {}
};

// One result per row of the plan, in its order; rows never reached are skipped.
std::vector<RowResult> ApplyPlan(const Session& session, const Plan& plan,
                                 const ApplyOptions& options, ApplyProgress& progress);

// What ApplyPlan would do with each row, from one discovery and sending nothing else: unchanged,
// would change, not seen or conflict. False when the discovery failed or was stopped; every row
// is then skipped. The progress hears of the discovery and of each row as ApplyPlan's does.
bool CheckPlan(const Session& session, const Plan& plan, ApplyProgress& progress,
               std::vector<RowResult>* results);

// Every row changed or unchanged.
bool AllDone(const std::vector<RowResult>& results);

}  // namespace fleet
