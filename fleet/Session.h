#pragma once

#include <atomic>
#include <vector>

#include "discovery/Exchange.h"
#include "net/SocketLayer.h"

// What every operation of one administrator's run shares: the networks it works on, whether their
// discoveries run side by side, and the stop that the user's signal sets. Built once by a front
// end and passed as it is to Discover, Configure, ApplyPlan, CheckPlan and Watch, so that no
// operation chooses the networks or reads --parallel on its own.
namespace fleet {

struct Session {
    // The local addresses to use, in this order; with `useGivenAddresses` false, every usable
    // address that the socket layer lists when an operation starts (so a watch follows
    // interfaces as they come and go).
    std::vector<net::LocalAddress> networks;
    bool useGivenAddresses = false;
    // Discoveries run the exchanges of all local addresses at the same time.
    bool parallel = false;
    // Set by the user's stop signal: waits end early and no new work starts.
    const std::atomic<bool>* stop = nullptr;

    bool Stopped() const noexcept { return stop != nullptr && stop->load(); }

    // The exchange inputs these choices make.
    ExchangeOptions Exchange() const {
        ExchangeOptions options;
        options.addresses = networks;
        options.useGivenAddresses = useGivenAddresses;
        options.parallel = parallel;
        return options;
    }
};

}  // namespace fleet
