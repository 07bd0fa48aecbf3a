#include "fleet/Discovery.h"

#include <cstring>

#include "discovery/DiscoverDevices.h"
#include "fleet/Text.h"

namespace fleet {

DiscoveryRun Discover(const Session& session) {
    DiscoveryRun run;
    const int completed = DiscoverAll(session.Exchange(), &run.records, session.stop, &run.report);
    if (run.report.listingFailed) {
        run.status = DiscoveryRun::Status::kListingFailed;
    } else if (completed == 0) {
        // A failed exchange is no empty network.
        run.status = DiscoveryRun::Status::kExchangeFailed;
    }
    return run;
}

std::string FailureText(const std::string& what, const AddressExchange& exchange) {
    return what + " failed on " + AddressText(exchange.local.address) + " (" +
           InterfaceNameText(exchange.local.interfaceName) +
           "): " + ExchangeStepText(exchange.failedStep) + ": " + std::strerror(exchange.error);
}

std::vector<AddressExchange> KernelDrops(const ExchangeReport& report) {
    std::vector<AddressExchange> drops;
    for (const AddressExchange& exchange : report.addresses) {
        if (exchange.droppedByKernel > 0) {
            drops.push_back(exchange);
        }
    }
    return drops;
}

}  // namespace fleet
