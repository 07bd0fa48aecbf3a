#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "sim/AccessPointModel.h"

class QByteArray;
class QJsonObject;

// A fleet: the lab's local networks and the simulated access points on them, as read from a
// JSON file. One simulator process serves one network; the lab script creates the networks.
namespace apsim {

// One local network of the lab host: its name (which also names its namespace and interface)
// and the host's address on it. Addresses are in network byte order.
struct LabNetwork {
    std::string name;
    std::uint32_t hostAddress = 0;
    int prefixLength = 24;
};

// Where one access point sits: on which network, answering from which address.
struct Placement {
    std::string network;
    std::uint32_t address = 0;
};

struct AccessPointEntry {
    sim::AccessPointSettings settings;  // `address` is left 0; the placement gives it
    std::vector<Placement> placements;
    // A nuisance on the network rather than a behaviour of the access point, so the simulator
    // plays it and the shared model knows nothing of it: after a discovery request, a 5-byte
    // reply with status 2 to the requester every this many milliseconds, for a minute. 0: none.
    int junkEveryMs = 0;
};

struct Fleet {
    std::vector<LabNetwork> networks;
    std::vector<AccessPointEntry> accessPoints;
};

// As many as the utility uses local addresses.
inline constexpr std::size_t kMaxNetworks = 10;

// 10.0.0.200/24 and 192.168.1.200/24, for fleets that name no networks.
std::vector<LabNetwork> DefaultNetworks();

// Parses a fleet document. On failure returns false with a message that names the offending
// field by its path, e.g. `accessPoints[2].mac: ...`.
bool ParseFleet(const QByteArray& document, Fleet* fleet, std::string* error);
bool LoadFleetFile(const std::string& path, Fleet* fleet, std::string* error);

// Adds one access point given as a JSON object text (the `--ap` option) to a fleet.
bool AddAccessPointFromJson(const std::string& objectText, Fleet* fleet, std::string* error);

// The access points placed on `network`, each with its address there.
std::vector<sim::AccessPointSettings> AccessPointsOn(const Fleet& fleet,
                                                     const std::string& network);

// junkEveryMs of each access point AccessPointsOn gives, in the same order.
std::vector<int> JunkIntervalsOn(const Fleet& fleet, const std::string& network);

const LabNetwork* FindNetwork(const Fleet& fleet, const std::string& name);

// Strict dotted quad: four decimal octets 0 to 255; network byte order.
bool ParseAddress(const std::string& text, std::uint32_t* address);
std::string FormatAddress(std::uint32_t address);

}  // namespace apsim
