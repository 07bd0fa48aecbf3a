#pragma once

#include <chrono>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "discovery/DeviceRecord.h"
#include "discovery/Exchange.h"
#include "fleet/Discovery.h"
#include "fleet/Session.h"
#include "fleet/WatchChanges.h"

// Discovery after discovery until stopped: what changed in the fleet, which networks were lost
// and came back, and what the watch knows after each discovery, for a front end to print.
namespace fleet {

// A gone access point stays known (answering no more) this long before it is forgotten, so that
// an alert on it can hold through its `for:` clause and a scrape interval or two.
inline constexpr std::chrono::seconds kDefaultForget{3600};

struct WatchSettings {
    // The pause from the end of one discovery to the start of the next.
    net::Milliseconds interval{10000};
    std::chrono::seconds forget = kDefaultForget;
};

// An access point the watch knows of. Times are the socket layer's wall clock.
struct WatchedAccessPoint {
    DeviceRecord record{};  // as last seen
    net::Milliseconds lastSeen{0};
    bool up = false;  // answered the last discovery
    // Reported gone at goneAt; kept, never up, until `forget` has passed since.
    bool gone = false;
    net::Milliseconds goneAt{0};
};

// A local address the watch has used, as it stands after the last discovery.
struct WatchedNetwork {
    net::LocalAddress local{};
    // Still among the usable addresses; false once lost (gone, link down, no carrier). Networks
    // given by the session are never lost: their exchanges fail and say why.
    bool listed = true;
    // Listed and its exchange in the last discovery did not fail.
    bool up = false;
    // The last discovery's exchange on it, when it had one.
    std::optional<AddressExchange> last;
    // Since the watch started.
    unsigned long long repliesAccepted = 0;
    unsigned long long ignoredStatus = 0;
    unsigned long long ignoredShort = 0;
    unsigned long long ignoredForeign = 0;
    unsigned long long droppedByKernel = 0;
};

struct WatchState {
    std::map<std::string, WatchedAccessPoint> accessPoints;  // by MAC
    std::vector<WatchedNetwork> networks;                    // in the order first used
    long long discoveries = 0;                               // completed or failed
    net::Milliseconds lastDiscoveryEnd{0};
};

// One discovery of the watch, once it has been compared.
struct WatchRound {
    int number = 0;           // 1 for the first
    net::Milliseconds at{0};  // wall clock at its end
    const DiscoveryRun* run = nullptr;
    std::vector<Change> changes;  // empty unless the discovery completed
};

// What a watch tells as it goes, on the watch's own thread.
class WatchObserver {
public:
    virtual ~WatchObserver() = default;
    // A local address used before is no longer usable (`why`: "link down", "no carrier",
    // "address gone", ...), told once; and when it is usable again.
    virtual void NetworkLost(const net::LocalAddress& local, const std::string& why,
                             net::Milliseconds at) = 0;
    virtual void NetworkBack(const net::LocalAddress& local, net::Milliseconds at) = 0;
    // No local address is usable at all, told once until one is again.
    virtual void NoUsableAddress(net::Milliseconds at) = 0;
    // After each discovery that the stop did not cut short. False ends the watch.
    virtual bool Discovered(const WatchRound& round, const WatchState& state) = 0;
};

// Runs until the session's stop is set or the observer says to end. Without the session's own
// networks, the usable addresses are listed anew before each discovery.
void Watch(const Session& session, const WatchSettings& settings, WatchObserver& observer);

}  // namespace fleet
