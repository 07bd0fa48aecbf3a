#pragma once

#include <atomic>
#include <string>
#include <vector>

#include "discovery/DeviceRecord.h"
#include "discovery/Exchange.h"
#include "fleet/Session.h"

// One discovery on the chosen networks, with what each network's exchange did.
namespace fleet {

struct DiscoveryRun {
    enum class Status {
        kCompleted,       // at least one network answered or stayed silent as it should
        kListingFailed,   // the interfaces could not be listed: report.listingError says why
        kExchangeFailed,  // every exchange failed: report.Failure() says where and why
    };
    Status status = Status::kCompleted;
    std::vector<DeviceRecord> records;  // in name order
    ExchangeReport report;
};

// One discovery on the session's networks, ended early by its stop.
DiscoveryRun Discover(const Session& session);

// "discovery failed on 192.168.1.200 (lan1): sending the request: Network is unreachable"
std::string FailureText(const std::string& what, const AddressExchange& exchange);

// The exchanges of a run that lost replies to a full receive buffer.
std::vector<AddressExchange> KernelDrops(const ExchangeReport& report);

}  // namespace fleet
