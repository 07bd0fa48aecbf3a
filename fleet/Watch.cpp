#include "fleet/Watch.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <set>

#include "discovery/FieldText.h"
#include "discovery/LocalAddresses.h"
#include "fleet/Text.h"

namespace fleet {

namespace {

// One network is one address on one interface: the same address moved to another interface is
// another network.
bool SameNetwork(const net::LocalAddress& a, const net::LocalAddress& b) {
    return a.address == b.address && std::strcmp(a.interfaceName, b.interfaceName) == 0;
}

// Why a listed address that the watch used is not usable now.
std::string WhyLost(const net::LocalAddress& local, const std::vector<ClassifiedAddress>& listed) {
    for (const ClassifiedAddress& entry : listed) {
        if (SameNetwork(LocalAddressOf(entry.entry), local)) {
            if (entry.use == AddressUse::kDown) {
                return "link down";
            }
            return AddressUseText(entry.use);
        }
    }
    return "address gone";
}

class Watcher {
public:
    Watcher(const Session& session, const WatchSettings& settings, WatchObserver& observer)
        : session_(session), settings_(settings), observer_(observer) {}

    // One discovery, compared and told; false when the watch is to end.
    bool Pass(net::SocketLayer& layer, int number) {
        DiscoveryRun run;
        std::vector<net::LocalAddress> chosen;
        if (ChooseNetworks(layer.WallClock(), &chosen, &run.report)) {
            run = DiscoverOn(chosen);
        } else {
            run.status = DiscoveryRun::Status::kListingFailed;
        }
        // A discovery cut short by the stop says nothing about who is gone.
        if (session_.Stopped()) {
            return false;
        }
        WatchRound round{number, layer.WallClock(), &run, {}};
        Update(run, &round);
        return observer_.Discovered(round, state_);
    }

private:
    WatchedNetwork& NetworkOf(const net::LocalAddress& local) {
        const auto found = std::find_if(state_.networks.begin(), state_.networks.end(),
                                        [&](const auto& n) { return SameNetwork(n.local, local); });
        if (found != state_.networks.end()) {
            return *found;
        }
        WatchedNetwork network;
        network.local = local;
        state_.networks.push_back(network);
        return state_.networks.back();
    }

    // The addresses to discover on; lost and returned networks are told. False when the
    // interfaces cannot be listed (recorded in `report`).
    bool ChooseNetworks(net::Milliseconds at, std::vector<net::LocalAddress>* chosen,
                        ExchangeReport* report) {
        if (session_.useGivenAddresses) {
            *chosen = session_.networks;
            return true;
        }
        std::vector<ClassifiedAddress> listed;
        if (!ClassifyInterfaceAddresses(&listed)) {
            report->listingFailed = true;
            report->listingError = errno;
            return false;
        }
        for (const ClassifiedAddress& entry : listed) {
            if (entry.use == AddressUse::kUsable) {
                chosen->push_back(LocalAddressOf(entry.entry));
            }
        }
        for (WatchedNetwork& network : state_.networks) {
            const bool usable = std::any_of(chosen->begin(), chosen->end(), [&](const auto& c) {
                return SameNetwork(c, network.local);
            });
            if (usable && !network.listed) {
                observer_.NetworkBack(network.local, at);
            } else if (!usable && network.listed) {
                observer_.NetworkLost(network.local, WhyLost(network.local, listed), at);
            }
            network.listed = usable;
        }
        if (chosen->empty() && !noneTold_) {
            observer_.NoUsableAddress(at);
        }
        noneTold_ = chosen->empty();
        return true;
    }

    DiscoveryRun DiscoverOn(const std::vector<net::LocalAddress>& chosen) {
        if (chosen.empty()) {
            // Nothing to send from: no discovery, and no absence of anybody.
            return DiscoveryRun{};
        }
        Session networks = session_;
        networks.networks = chosen;
        networks.useGivenAddresses = true;
        return Discover(networks);
    }

    // The networks whose exchange completed, with their totals brought up to date.
    std::set<std::string> UpdateNetworks(const DiscoveryRun& run) {
        for (WatchedNetwork& network : state_.networks) {
            network.up = false;
            network.last.reset();
        }
        std::set<std::string> reached;
        for (const AddressExchange& e : run.report.addresses) {
            WatchedNetwork& network = NetworkOf(e.local);
            network.last = e;
            network.up = !e.failed();
            network.repliesAccepted += static_cast<unsigned>(e.repliesAccepted);
            network.ignoredStatus += static_cast<unsigned>(e.ignoredStatus);
            network.ignoredShort += static_cast<unsigned>(e.ignoredShort);
            network.ignoredForeign += static_cast<unsigned>(e.ignoredForeign);
            network.droppedByKernel += e.droppedByKernel;
            if (!e.failed()) {
                reached.insert(AddressText(e.local.address));
            }
        }
        return reached;
    }

    void Update(const DiscoveryRun& run, WatchRound* round) {
        const net::Milliseconds at = round->at;
        ++state_.discoveries;
        state_.lastDiscoveryEnd = at;
        const std::set<std::string> reached = UpdateNetworks(run);
        auto& known = state_.accessPoints;
        for (auto& [mac, accessPoint] : known) {
            accessPoint.up = false;
        }
        if (run.status != DiscoveryRun::Status::kCompleted) {
            return;
        }
        round->changes = detector_.Compare(run.records, reached);
        for (const DeviceRecord& record : run.records) {
            known[FieldText(record.macText)] = WatchedAccessPoint{record, at, true, false, {}};
        }
        for (const Change& change : round->changes) {
            if (change.kind == Change::Kind::kGone) {
                known[change.macText].gone = true;
                known[change.macText].goneAt = at;
            }
        }
        std::erase_if(known, [&](const auto& entry) {
            return entry.second.gone && at - entry.second.goneAt >= settings_.forget;
        });
    }

    const Session& session_;
    const WatchSettings settings_;
    WatchObserver& observer_;
    ChangeDetector detector_;
    WatchState state_;
    bool noneTold_ = false;
};

// Waits out the interval in slices, so that a stop ends the wait at once.
void Pause(net::SocketLayer& layer, net::Milliseconds interval, const Session& session) {
    const net::Milliseconds end = layer.Now() + interval;
    while (!session.Stopped()) {
        const net::Milliseconds now = layer.Now();
        if (now >= end) {
            return;
        }
        layer.Sleep(std::min(end - now, kCancelCheckInterval));
    }
}

}  // namespace

void Watch(const Session& session, const WatchSettings& settings, WatchObserver& observer) {
    net::SocketLayer* layer = net::ActiveSocketLayer();
    if (layer == nullptr) {
        return;
    }
    Watcher watcher(session, settings, observer);
    for (int number = 1; !session.Stopped(); ++number) {
        if (!watcher.Pass(*layer, number)) {
            return;
        }
        Pause(*layer, settings.interval, session);
    }
}

}  // namespace fleet
