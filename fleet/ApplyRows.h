#pragma once

#include <cstddef>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "fleet/Apply.h"
#include "fleet/Verify.h"

// The steps of one plan row, shared by the engine that runs rows one after the other and the one
// that runs them side by side. Not for front ends.
namespace fleet::rows {

// The fleet as the discovery before the first row saw it.
struct Fleet {
    struct Sighting {
        std::string address;                     // where it answers
        std::optional<net::LocalAddress> local;  // the local address it answered on
    };
    std::map<std::string, Sighting> byMac;
    // Addresses of the access points the plan names no row for, with the first such MAC.
    std::map<std::string, std::string> unplannedByAddress;
};

// The discovery before the first row, told to `progress`. False when it failed or was stopped:
// every row is then skipped. Fills each row's address where the discovery saw it.
bool DiscoverBeforeRows(const Session& session, const Plan& plan, ApplyProgress& progress,
                        Fleet* fleet, std::vector<RowResult>* results);

// The decisions made without sending: already done (unchanged) or a conflict. False when the
// row must be sent.
bool DecidedWithoutSending(const PlanRow& row, const Fleet& fleet, RowResult* result);

// The configuration and the reset, first where the discovery heard the access point. True when
// both were acknowledged; otherwise `result` is the row's outcome.
bool SendRow(const Session& session, const PlanRow& row, const Fleet& fleet, RowResult* result);

// The row's outcome from its verification.
void TakeVerification(const PlanRow& row, const Fleet& fleet, double verifySeconds,
                      const VerifyResult& verified, RowResult* result);

// The address the access point must answer from once verified: its fixed one, or any (DHCP).
std::string ExpectedAddress(const PlanRow& row);

// The rows of `toSend` (plan indexes), up to `options.jobs` at a time; their results go to
// `results`. False when the session's stop left rows unsent (they stay skipped).
bool SendSideBySide(const Session& session, const Plan& plan, const Fleet& fleet,
                    const std::vector<std::size_t>& toSend, const ApplyOptions& options,
                    ApplyProgress& progress, std::vector<RowResult>* results);

}  // namespace fleet::rows
