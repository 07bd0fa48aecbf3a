#pragma once

#include <atomic>
#include <cstddef>
#include <string>
#include <vector>

#include "discovery/Exchange.h"
#include "fleet/Discovery.h"
#include "fleet/Plan.h"

// Carrying a plan out: one discovery, then row after row, each configured, reset and verified
// unless it already answers from its fixed address. A stop is taken between rows only.
namespace fleet {

// The last two are predictions only, made by CheckPlan: nothing was sent to find them.
enum class RowOutcome { kChanged, kUnchanged, kFailed, kNotFound, kSkipped, kWouldChange, kNotSeen };

// "changed", "unchanged", "failed", "not found", "skipped", "would change", "not seen".
const char* RowOutcomeName(RowOutcome outcome);

struct RowResult {
    RowOutcome outcome = RowOutcome::kSkipped;
    // Where it answers now as far as apply has seen; empty when unknown.
    std::string address;
    std::string message;
    double seconds = -1;                       // from its reset until it answered
    std::vector<AddressExchange> kernelDrops;  // of its verification's discoveries
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
    virtual void Stopped(std::size_t /*skippedRows*/) {}
};

// One result per row of the plan, in its order; rows never reached are skipped.
std::vector<RowResult> ApplyPlan(const Plan& plan, const ExchangeOptions& networks,
                                 double verifySeconds, const std::atomic<bool>* stop,
                                 ApplyProgress& progress);

// What ApplyPlan would do with each row, from one discovery and sending nothing else: unchanged,
// would change or not seen. False when the discovery failed or was stopped; every row is then
// skipped. The progress hears of the discovery and of each row as ApplyPlan's does.
bool CheckPlan(const Plan& plan, const ExchangeOptions& networks, const std::atomic<bool>* stop,
               ApplyProgress& progress, std::vector<RowResult>* results);

// Every row changed or unchanged.
bool AllDone(const std::vector<RowResult>& results);

}  // namespace fleet
