#include "tools/apsim/FleetFile.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>

#include <arpa/inet.h>

#include <algorithm>
#include <cstring>
#include <set>

#include "tools/apsim/AccessPointFields.h"
#include "tools/apsim/FleetValues.h"

namespace apsim {

namespace {

using namespace fleet;

bool Contains(const LabNetwork& network, std::uint32_t address) {
    const std::uint32_t mask =
        network.prefixLength == 0 ? 0 : htonl(~0u << (32 - network.prefixLength));
    return (address & mask) == (network.hostAddress & mask);
}

// The name becomes part of a namespace name and an interface name (at most 15 bytes).
bool IsNetworkName(const QString& name) {
    bool nameOk =
        !name.isEmpty() && name.size() <= 8 && name[0] >= 'a' && name[0] <= 'z' && name != "host";
    for (const QChar character : name) {
        nameOk = nameOk &&
                 ((character >= 'a' && character <= 'z') || (character >= '0' && character <= '9'));
    }
    return nameOk;
}

// One entry of "networks", on its own; ParseNetworks checks it against the others.
bool ParseNetwork(const QJsonValue& value, const Path& itemPath, LabNetwork* network,
                  std::string* error) {
    if (!value.isObject()) {
        return Fail(itemPath, "expected an object with \"name\" and \"hostAddress\"", error);
    }
    const QJsonObject item = value.toObject();
    for (auto it = item.begin(); it != item.end(); ++it) {
        if (it.key() != "name" && it.key() != "hostAddress") {
            return Fail(itemPath + "." + it.key().toStdString(),
                        "unknown field (known: name, hostAddress)", error);
        }
    }
    const QString name = item.value("name").toString();
    if (!IsNetworkName(name)) {
        return Fail(itemPath + ".name",
                    "expected 1 to 8 lower-case letters and digits starting with a letter, "
                    "not \"host\", got " +
                        Quoted(name),
                    error);
    }
    network->name = name.toStdString();
    const std::string hostAddress = item.value("hostAddress").toString().toStdString();
    const std::size_t slash = hostAddress.find('/');
    const std::string prefix = slash == std::string::npos ? "" : hostAddress.substr(slash + 1);
    const bool prefixOk = (prefix.size() == 1 || prefix.size() == 2) &&
                          prefix.find_first_not_of("0123456789") == std::string::npos;
    network->prefixLength = prefixOk ? std::stoi(prefix) : 0;
    if (!prefixOk || network->prefixLength < 8 || network->prefixLength > 30 ||
        !ParseAddress(hostAddress.substr(0, slash), &network->hostAddress)) {
        return Fail(itemPath + ".hostAddress",
                    "expected ADDRESS/PREFIX with a prefix of 8 to 30, such as "
                    "10.0.0.200/24, got \"" +
                        hostAddress + "\"",
                    error);
    }
    return true;
}

bool ParseNetworks(const QJsonValue& value, std::vector<LabNetwork>* networks, std::string* error) {
    const Path path = "networks";
    if (!value.isArray() || value.toArray().isEmpty()) {
        return Fail(path, "expected a non-empty array of networks", error);
    }
    const QJsonArray items = value.toArray();
    if (static_cast<std::size_t>(items.size()) > kMaxNetworks) {
        return Fail(path, "at most " + std::to_string(kMaxNetworks) + " networks", error);
    }
    networks->clear();
    for (qsizetype i = 0; i < items.size(); ++i) {
        const Path itemPath = ItemPath(path, i);
        LabNetwork network;
        if (!ParseNetwork(items[i], itemPath, &network, error)) {
            return false;
        }
        for (const LabNetwork& other : *networks) {
            if (other.name == network.name) {
                return Fail(itemPath + ".name", "\"" + network.name + "\" is used twice", error);
            }
            if (Contains(other, network.hostAddress) || Contains(network, other.hostAddress)) {
                return Fail(itemPath + ".hostAddress",
                            "overlaps the subnet of network \"" + other.name + "\"", error);
            }
        }
        networks->push_back(network);
    }
    return true;
}

bool Place(const PendingPlacement& pending, const std::vector<LabNetwork>& networks,
           const Path& path, AccessPointEntry* entry, std::string* error) {
    std::vector<std::string> names = pending.networks;
    if (names.empty()) {
        names.push_back(networks.front().name);
    }
    if (pending.addresses.empty()) {
        return Fail(path + ".address", "missing", error);
    }
    if (pending.addresses.size() != names.size()) {
        return Fail(pending.addressPath,
                    "expected one address per network (" + std::to_string(names.size()) + ")",
                    error);
    }
    entry->placements.clear();
    for (std::size_t i = 0; i < names.size(); ++i) {
        Path networkPath = pending.networkPath.empty() ? path + ".network" : pending.networkPath;
        if (pending.networks.size() > 1) {
            networkPath = ItemPath(networkPath, i);
        }
        const auto network =
            std::find_if(networks.begin(), networks.end(),
                         [&](const LabNetwork& candidate) { return candidate.name == names[i]; });
        if (network == networks.end()) {
            return Fail(networkPath, "no network named \"" + names[i] + "\"", error);
        }
        for (const Placement& earlier : entry->placements) {
            if (earlier.network == names[i]) {
                return Fail(networkPath, "network \"" + names[i] + "\" named twice", error);
            }
        }
        const Path addressPath =
            pending.addresses.size() > 1 ? ItemPath(pending.addressPath, i) : pending.addressPath;
        Placement placement{names[i], 0};
        if (!ReadAddressValue(QJsonValue(QString::fromStdString(pending.addresses[i])), addressPath,
                              &placement.address, error)) {
            return false;
        }
        // The host would take a datagram from its own address for a spoofed one and drop it.
        if (placement.address == network->hostAddress) {
            return Fail(addressPath,
                        FormatAddress(placement.address) + " is the lab host's own address on \"" +
                            names[i] + "\"",
                        error);
        }
        entry->placements.push_back(placement);
    }
    return true;
}

bool ParseAccessPoint(const QJsonValue& value, const QJsonObject& defaults, const Path& path,
                      const std::vector<LabNetwork>& networks, AccessPointEntry* entry,
                      std::string* error) {
    if (!value.isObject()) {
        return Fail(path, "expected an object", error);
    }
    PendingPlacement placement;
    if (!ParseAccessPointObject(defaults, "defaults", entry, &placement, error) ||
        !ParseAccessPointObject(value.toObject(), path, entry, &placement, error)) {
        return false;
    }
    if (!value.toObject().contains("mac")) {
        return Fail(path + ".mac", "missing", error);
    }
    return Place(placement, networks, path, entry, error);
}

bool ParseDefaults(const QJsonValue& value, QJsonObject* defaults, std::string* error) {
    if (!value.isObject()) {
        return Fail("defaults", "expected an object of access point fields", error);
    }
    *defaults = value.toObject();
    for (const char* identity : {"name", "mac", "address"}) {
        if (defaults->contains(identity)) {
            return Fail(std::string("defaults.") + identity,
                        "belongs to each access point, not to the defaults", error);
        }
    }
    // Checked once here so that a mistake is reported under its own path.
    AccessPointEntry scratch;
    PendingPlacement placement;
    return ParseAccessPointObject(*defaults, "defaults", &scratch, &placement, error);
}

}  // namespace

std::vector<LabNetwork> DefaultNetworks() {
    LabNetwork first{"lan0", 0, 24};
    LabNetwork second{"lan1", 0, 24};
    ParseAddress("10.0.0.200", &first.hostAddress);
    ParseAddress("192.168.1.200", &second.hostAddress);
    return {first, second};
}

bool ParseFleet(const QByteArray& document, Fleet* fleet, std::string* error) {
    QJsonParseError parseError{};
    const QJsonDocument json = QJsonDocument::fromJson(document, &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        return Fail("fleet",
                    "not valid JSON at byte " + std::to_string(parseError.offset) + ": " +
                        parseError.errorString().toStdString(),
                    error);
    }
    if (!json.isObject()) {
        return Fail("fleet", "expected a JSON object with \"accessPoints\"", error);
    }
    const QJsonObject root = json.object();
    for (auto it = root.begin(); it != root.end(); ++it) {
        if (it.key() != "networks" && it.key() != "defaults" && it.key() != "accessPoints") {
            return Fail(it.key().toStdString(),
                        "unknown field (known: networks, defaults, accessPoints)", error);
        }
    }
    Fleet parsed;
    parsed.networks = DefaultNetworks();
    if (root.contains("networks") &&
        !ParseNetworks(root.value("networks"), &parsed.networks, error)) {
        return false;
    }
    QJsonObject defaults;
    if (root.contains("defaults") && !ParseDefaults(root.value("defaults"), &defaults, error)) {
        return false;
    }
    const QJsonValue list = root.value("accessPoints");
    if (!list.isArray()) {
        return Fail("accessPoints", "expected an array of access points", error);
    }
    const QJsonArray items = list.toArray();
    for (qsizetype i = 0; i < items.size(); ++i) {
        AccessPointEntry entry;
        if (!ParseAccessPoint(items[i], defaults, ItemPath("accessPoints", i), parsed.networks,
                              &entry, error)) {
            return false;
        }
        parsed.accessPoints.push_back(std::move(entry));
    }
    *fleet = std::move(parsed);
    return true;
}

bool LoadFleetFile(const std::string& path, Fleet* fleet, std::string* error) {
    QFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::ReadOnly)) {
        *error = path + ": cannot be read: " + file.errorString().toStdString();
        return false;
    }
    return ParseFleet(file.readAll(), fleet, error);
}

bool AddAccessPointFromJson(const std::string& objectText, Fleet* fleet, std::string* error) {
    if (fleet->networks.empty()) {
        fleet->networks = DefaultNetworks();
    }
    const Path path = "--ap " + std::to_string(fleet->accessPoints.size() + 1);
    QJsonParseError parseError{};
    const QJsonDocument json =
        QJsonDocument::fromJson(QByteArray::fromStdString(objectText), &parseError);
    if (parseError.error != QJsonParseError::NoError || !json.isObject()) {
        return Fail(path,
                    "expected a JSON object such as "
                    "{\"name\":\"Lobby\",\"mac\":\"000A1B2C3D4E\",\"address\":\"10.0.0.5\"}",
                    error);
    }
    AccessPointEntry entry;
    if (!ParseAccessPoint(json.object(), QJsonObject(), path, fleet->networks, &entry, error)) {
        return false;
    }
    fleet->accessPoints.push_back(std::move(entry));
    return true;
}

std::vector<sim::AccessPointSettings> AccessPointsOn(const Fleet& fleet,
                                                     const std::string& network) {
    std::vector<sim::AccessPointSettings> result;
    for (const AccessPointEntry& entry : fleet.accessPoints) {
        for (const Placement& placement : entry.placements) {
            if (placement.network == network) {
                result.push_back(entry.settings);
                result.back().address = placement.address;
            }
        }
    }
    return result;
}

std::vector<int> JunkIntervalsOn(const Fleet& fleet, const std::string& network) {
    std::vector<int> result;
    for (const AccessPointEntry& entry : fleet.accessPoints) {
        for (const Placement& placement : entry.placements) {
            if (placement.network == network) {
                result.push_back(entry.junkEveryMs);
            }
        }
    }
    return result;
}

const LabNetwork* FindNetwork(const Fleet& fleet, const std::string& name) {
    for (const LabNetwork& network : fleet.networks) {
        if (network.name == name) {
            return &network;
        }
    }
    return nullptr;
}

bool ParseAddress(const std::string& text, std::uint32_t* address) {
    std::uint8_t octets[4] = {};
    std::size_t at = 0;
    for (int i = 0; i < 4; ++i) {
        if (i > 0) {
            if (at >= text.size() || text[at] != '.') {
                return false;
            }
            ++at;
        }
        const std::size_t start = at;
        unsigned value = 0;
        while (at < text.size() && text[at] >= '0' && text[at] <= '9' && at - start < 3) {
            value = value * 10 + static_cast<unsigned>(text[at] - '0');
            ++at;
        }
        if (at == start || value > 255) {
            return false;
        }
        octets[i] = static_cast<std::uint8_t>(value);
    }
    if (at != text.size()) {
        return false;
    }
    std::memcpy(address, octets, 4);
    return true;
}

std::string FormatAddress(std::uint32_t address) {
    std::uint8_t octets[4];
    std::memcpy(octets, &address, 4);
    return std::to_string(octets[0]) + "." + std::to_string(octets[1]) + "." +
           std::to_string(octets[2]) + "." + std::to_string(octets[3]);
}

}  // namespace apsim
